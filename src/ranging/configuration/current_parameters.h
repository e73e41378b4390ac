// Read-back of the measurement parameters from the sensor.
#pragma once

#include "ranging/device/ranging_device.h"

#include <cstdint>

// Fills the caller's block from the sensor (period, crosstalk rate, range offset, limit
// checks, wrap-around flag, timing budget); also updates the record where the value belongs
// to it. Returns the first failing status (-20 for a failed 16-bit read).
SensorStatus VL53L0X_ReadCurrentParameters(RangingDevice &device, ::CurrentParameters *block);

// Period = register 0x04 (32-bit) / register 0xF8 (16-bit); a zero divisor leaves *periodMs
// as it was. The result also goes to the record's interMeasurementPeriodMs.
SensorStatus VL53L0X_ReadInterMeasurementPeriod(RangingDevice &device, uint32_t *periodMs);
