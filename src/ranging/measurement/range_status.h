// The verdict on one measurement: the sensor's device status code combined with the sigma
// check (limit check 0) and the range-ignore threshold check (limit check 3).
#pragma once

#include "ranging/device/ranging_device.h"

#include <cstdint>

// *rangeStatus = 0 valid, 1 sigma, 2 signal, 3 minimum range, 4 phase, 5 hardware or 255 no
// update. deviceStatusByte is register 0x14 of the result; signalRate is 16.16 MCPS, spadCount
// 8.8; result supplies the rates for the sigma estimate. Records each check's outcome in
// limitCheckStatus of ids 0 to 3. Always returns 0.
SensorStatus VL53L0X_DetermineRangeStatus(RangingDevice &device, uint8_t deviceStatusByte,
                                          uint32_t signalRate, uint16_t spadCount,
                                          const RangingResult &result, uint8_t *rangeStatus);
