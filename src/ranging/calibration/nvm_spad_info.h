// The reference SPAD information in the sensor's non-volatile memory (NVM): the reference SPAD
// count, whether they are aperture SPADs, and the map of good reference SPADs.
#pragma once

#include "ranging/device/ranging_device.h"

#include <cstdint>

// NVM addresses of the SPAD information words.
inline constexpr uint8_t kNvmSpadCountAndType = 0x6B;
inline constexpr uint8_t kNvmGoodSpadsLow = 0x24;  // map bytes 0 to 3, most significant first
inline constexpr uint8_t kNvmGoodSpadsHigh = 0x25; // map bytes 4 and 5 in the top two bytes

// Strobes register 0x83 and polls it (up to 2000 reads, no delay) until the NVM word is ready;
// -7 when it never is. Register 0x83 is set back to 1 in every case.
SensorStatus VL53L0X_WaitNvmReady(RangingDevice &device);

// Reads refSpadCount, isApertureSpads and goodSpadMap once per record (bit 0 of nvmReadState).
// On failure nothing is stored and the next call reads again. nvmReadState 7: no bus traffic.
SensorStatus VL53L0X_ReadNvmSpadInfo(RangingDevice &device);
