// The VL53L0X's sequence-step, VCSEL-period and step-timeout registers, and its limit-check
// registers, with their power-on values. All on page 0 and plain storage: the sensor simply
// keeps what the driver writes, and a reset brings back the values below.
//
// Power-on timing: every step enabled (0x01 = 0xFF), VCSEL periods 14 and 10 PCLKs, MSRC
// 38 MCLKs, pre-range 151 MCLKs, final range 509 MCLKs including the pre-range share, which
// makes a measurement timing budget of 33849 µs.
#pragma once

#include "dlnsim/models/vl53l0x.h"

#include <cstdint>

namespace dlnsim {

struct Vl53l0xTiming {
    uint8_t sequenceConfig = 0xFF;       // 0x01
    uint8_t msrcTimeout = 0x25;          // 0x46, MCLKs - 1
    uint8_t preRangeVcsel = 0x06;        // 0x50, period / 2 - 1
    uint16_t preRangeTimeout = 0x0096;   // 0x51-0x52, exponent:mantissa
    uint8_t finalRangeVcsel = 0x04;      // 0x70
    uint16_t finalRangeTimeout = 0x01FE; // 0x71-0x72
};

struct Vl53l0xLimitChecks {
    uint16_t finalRangeMinSignal = 0x0020; // 0x44-0x45, 9.7 MCPS: 0.25
    uint8_t msrcConfig = 0x12;             // 0x60, bits 0 and 4 switch signal checks off
    uint16_t preRangeMinSignal = 0x0000;   // 0x64-0x65, 9.7 MCPS
};

void AddVl53l0xTiming(Vl53l0x &sensor, const Vl53l0xTiming &timing = {});
void AddVl53l0xLimitChecks(Vl53l0x &sensor, const Vl53l0xLimitChecks &checks = {});

} // namespace dlnsim
