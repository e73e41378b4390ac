// A named fault from JSON, as scenarios, timelines and the live page give it:
//   {"call": "DlnI2cMasterRead", "code": "nack" | "0x44", "nth": 3, "count": 1,
//    "address": "0x70"}   (I2C transfers)   or   "ss": 1   (SPI transfers)
#pragma once

#include "dlnsim/simulator.h"

#include <nlohmann/json_fwd.hpp>

namespace dlnsim {

// A failure code by name ("nack") or number (0x40 or above); throws OptionError("code").
uint16_t FaultCodeFromJson(const nlohmann::json &value);
// Throws OptionError naming the key and the problem.
Fault FaultFromJson(const nlohmann::json &object);
nlohmann::json FaultToJson(const Fault &fault);

} // namespace dlnsim
