// The sensor's reference calibrations (VHV and phase), each one internal measurement started
// with its own start byte, and the read-back of their results from page 6.
#pragma once

#include "ranging/device/ranging_device.h"

#include <cstdint>

// Runs VHV then phase calibration with register 0x01 set for each, then restores 0x01 and
// sequenceConfig. readBack 1 reads both results into the caller's bytes; any other value
// leaves them 0. A failed step returns at once, leaving register 0x01 at its calibration value.
SensorStatus VL53L0X_PerformRefCalibration(RangingDevice &device, uint8_t *vhvSetting,
                                           uint8_t *phaseCal, uint8_t readBack);

// One calibration measurement: 0x00 = startByte | 1, wait, clear the interrupt, 0x00 = 0.
SensorStatus VL53L0X_RunRefCalibrationStep(RangingDevice &device, uint8_t startByte);

// Phase calibration (register 0x01 = 0x02, start byte 0x00); *phaseCal is 0 unless readBack
// is 1 and the step succeeded.
SensorStatus VL53L0X_RunPhaseCalibration(RangingDevice &device, uint8_t *phaseCal,
                                         uint8_t readBack);

// Reads 0xCB (VHV, when readVhv) and 0xEE (phase, when readPhase, with bit 4 cleared) on page
// 6. *phaseCal is written in both cases (0 when not read); *vhvSetting only when read.
SensorStatus VL53L0X_ReadRefCalibrationResults(RangingDevice &device, bool readVhv, bool readPhase,
                                               uint8_t *vhvSetting, uint8_t *phaseCal);
