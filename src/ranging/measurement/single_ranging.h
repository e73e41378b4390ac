// One single-ranging measurement: start, (wait,) read and convert the result block, clear the
// interrupt.
#pragma once

#include "ranging/device/ranging_device.h"

// Starts a single measurement and waits for the sensor to take the start bit. -7 when the bit
// is still set after 1999 reads of register 0x00; the status of a failed bus transfer.
SensorStatus VL53L0X_StartRanging(RangingDevice &device);

// Reads the 12-byte result block at 0x14 into *result (caller-owned) and into the record's
// lastResult. A failed block read returns its status with *result cleared, range status 255.
SensorStatus VL53L0X_ReadRangingResult(RangingDevice &device, RangingResult *result);

// Clears the sensor's interrupt through register 0x0B, at most three attempts; -12 unless the
// status in register 0x13 reads clear after the first or second attempt.
SensorStatus VL53L0X_ClearInterrupt(RangingDevice &device);

// Start, wait, read, clear in single-ranging mode; the status of the first failing step.
// *result starts cleared with range status 255, so a measurement that failed before its
// result was read never shows as a valid range of 0.
SensorStatus VL53L0X_PerformSingleRangingMeasurement(RangingDevice &device, RangingResult *result);
