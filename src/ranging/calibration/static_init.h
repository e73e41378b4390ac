// Static initialisation: brings a freshly reset sensor into its known configuration.
#pragma once

#include "ranging/device/ranging_device.h"

// Reference SPADs from non-volatile data (or a full search when that data is implausible),
// the tuning table, the interrupt set-up, the parameter read-back, TCC and MSRC switched off,
// the VCSEL periods and step timeouts recorded; deviceState becomes 3. Returns the first
// failing status; what was done before it stays in place.
SensorStatus VL53L0X_StaticInit(RangingDevice &device);
