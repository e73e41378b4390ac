// The sensor's tuning table and the walker that applies one.
//
// Entry forms: n (1-4), register index, n data bytes: one bus write of the index and the
// data; 0xFF, selector, high, low: a 16-bit setting without bus traffic (selector 3 is the
// target reference rate, 0-2 are accepted and unused); a zero byte ends the table.
#pragma once

#include "ranging/device/ranging_device.h"

#include <cstddef>
#include <cstdint>

// 80 single-register entries and the end byte.
inline constexpr size_t kDefaultTuningTableSize = 241;
extern const uint8_t DefaultTuningTable[kDefaultTuningTableSize];

// Walks table until its end byte. A register entry's status is 0 whatever the bus reports;
// a malformed entry (first byte 5-254, or a 0xFF entry with a selector above 3) gives -4,
// and the entries before it stay applied.
SensorStatus VL53L0X_ApplyTuningSettings(RangingDevice &device, TuningTable table);
