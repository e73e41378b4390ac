// Timeouts of the MSRC, pre-range and final-range steps, in microseconds.
#pragma once

#include "ranging/device/ranging_device.h"

#include <cstdint>

// *us = timeout of step id 2 (MSRC, register 0x46), 3 (pre-range, 0x51) or 4 (final range,
// 0x71 less the pre-range MCLKs when pre-range is enabled). Other ids give 0 µs and status 0.
// A failed read returns its status (-20 for a 16-bit register); *us is written anyway.
SensorStatus VL53L0X_ReadStepTimeout(RangingDevice &device, uint8_t id, uint32_t *us);

// The pre-range and final-range timeouts into preRangeTimeoutUs and finalRangeTimeoutUs, with
// the pre-range VCSEL period already in the record: reads register 0x51, then 0x01, 0x51 again
// when pre-range is enabled, the final-range period 0x70 and 0x71 (not 0x50). Stops at the
// first failed read and returns its status (-20 for a 16-bit register); the timeout being
// read is written anyway.
SensorStatus VL53L0X_ReadRangeTimeouts(RangingDevice &device);

// Writes register 0x71 so that the final range runs us microseconds after the pre-range MCLKs,
// and keeps us in finalRangeTimeoutUs.
SensorStatus VL53L0X_WriteFinalRangeTimeout(RangingDevice &device, uint32_t us);
