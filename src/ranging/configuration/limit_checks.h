// Limit checks: per-measurement tests with an enable flag and a 16.16 limit value, ids 0 to 5,
// kept in CurrentParameters. Ids 1, 4 and 5 also have sensor registers behind them.
#pragma once

#include "ranging/device/ranging_device.h"

#include <cstdint>

inline constexpr uint8_t kCheckSigma = 0;
inline constexpr uint8_t kCheckSignalRateFinalRange = 1;
inline constexpr uint8_t kCheckSignalRefClip = 2;
inline constexpr uint8_t kCheckRangeIgnoreThreshold = 3;
inline constexpr uint8_t kCheckSignalRateMsrc = 4;
inline constexpr uint8_t kCheckSignalRatePreRange = 5;

// Sets the check's flag. Id 1 first writes its value (>> 9) to register 0x44; ids 4 and 5
// first clear bit 0 or bit 4 of register 0x60. A failed register access leaves the flag and
// is returned; an id above 5 gives -4.
SensorStatus VL53L0X_EnableLimitCheck(RangingDevice &device, uint8_t id);

// *value = the check's 16.16 limit. Id 1 reads register 0x44 (<< 9): non-zero is kept as the
// value and enables the check, zero returns the kept value and disables it. Ids 4 and 5 read
// register 0x64 (<< 9) and keep nothing. A failed read gives -20 and leaves *value; an id
// above 5 gives -4.
SensorStatus VL53L0X_ReadLimitCheckValue(RangingDevice &device, uint8_t id, uint32_t *value);
