// The bus transfers of a simulator's trace in the short form the tests' expected lists use,
// built from the pieces of the simulator's own trace line (dlnsim/trace.h):
//   "W 51: a3"                     an I2C write to 0x51 and its bytes
//   "R 51: 51 ff"                  an I2C read from 0x51 and the bytes it returned
//   "S out: a5 01 in: a5 01"       an SPI transfer, bytes sent and received
//   "W 00: a3 -> 0x44 (I2C NACK)"  a failed transfer and its result, with the bytes the bus
//   "R 48: -> 0x4f (failed)"       saw: none when the adapter refused the call
#pragma once

#include "dlnsim/simulator.h"

#include <initializer_list>
#include <string>
#include <vector>

// The short form of entry, or "" when it is no bus transfer.
std::string TransferLine(const dlnsim::TraceEntry &entry);

// The transfers in trace, oldest first; only those to the I2C address when one is given.
std::vector<std::string> TransferLines(const std::vector<dlnsim::TraceEntry> &trace,
                                       int i2cAddress = -1);

// The lists one after the other.
std::vector<std::string> Concat(std::initializer_list<std::vector<std::string>> parts);
