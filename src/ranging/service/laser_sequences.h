// The sequences of laser operations 1 and 2: calibrate the sensor, measure one range.
#pragma once

#include "ranging/device/ranging_device.h"

#include <cstdint>

// Static initialisation, reference calibration, reference SPAD management, single-ranging
// mode, limit checks 0, 1 and 3 with the range-ignore threshold. Reports each step and its
// status line through the record's reporter; stops at the first failing step and returns its
// status.
SensorStatus CalibrateRangingSensor(RangingDevice &device);

// One single-ranging measurement; reports its status, range status and return signal rate.
// Returns the range in mm (0 when the measurement failed before its result was read).
uint16_t MeasureRange(RangingDevice &device);

// The same measurement into result; returns its status.
SensorStatus MeasureRangeOnce(RangingDevice &device, RangingResult &result);
