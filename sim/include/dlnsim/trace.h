// The readable form of a trace entry: one line per adapter call, as a logic analyser shows it.
//
//   12.000345 DlnI2cMasterWrite port=0 addr=0x50 out=[00 11 22] result=0x00 ; reg 0x00 = 11 22
//
// Time in seconds since the simulator started, the call, its port and I2C address (or SPI
// slave-select mask, "ss=0xFE"), the bytes sent and received when there are any, the result
// (with its name for failures), and the model's note after " ; ".
#pragma once

#include "dlnsim/simulator.h"

#include <cstdint>
#include <string>
#include <vector>

namespace dlnsim {

std::string FormatTraceLine(const TraceEntry &entry);
// The pieces of that line, for shorter views of the same trace: bytes as "00 11 22" (empty for
// none) and a result as "0x00" or "0x4f (I2C NACK)".
std::string FormatBytes(const std::vector<uint8_t> &bytes);
std::string FormatResult(uint16_t result);
// The short name of a result code ("I2C NACK"); empty for codes without one.
const char *ResultName(uint16_t result);

} // namespace dlnsim
