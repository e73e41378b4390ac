// The search for the reference SPAD set whose reference signal rate lies nearest the target.
#pragma once

#include "ranging/device/ranging_device.h"

#include <cstdint>

// Searches the SPAD set whose reference rate lies nearest targetRefRate: three non-aperture
// SPADs, else three aperture ones, then one more at a time. On success the caller's count and
// flag and the record get the result; a failure returns at once and reports nothing.
SensorStatus VL53L0X_PerformRefSpadManagement(RangingDevice &device, uint32_t *refSpadCount,
                                              uint8_t *isApertureSpads);
