// The result of every ranging-sensor operation and the range status of a measurement.
#pragma once

#include <cstdint>

// 0 is success; a sequence stops at the first non-zero status of a step it checks.
using SensorStatus = int8_t;

inline constexpr SensorStatus kSensorOk = 0;
inline constexpr SensorStatus kSensorCalibrationWarning = -1;
inline constexpr SensorStatus kSensorMinClipped = -2;
inline constexpr SensorStatus kSensorUndefined = -3;
inline constexpr SensorStatus kSensorInvalidParams = -4;
inline constexpr SensorStatus kSensorNotSupported = -5;
inline constexpr SensorStatus kSensorRangeError = -6;
inline constexpr SensorStatus kSensorTimeOut = -7;
inline constexpr SensorStatus kSensorModeNotSupported = -8;
inline constexpr SensorStatus kSensorBufferTooSmall = -9;
inline constexpr SensorStatus kSensorGpioNotExisting = -10;
inline constexpr SensorStatus kSensorGpioFunctNotSupported = -11;
inline constexpr SensorStatus kSensorInterruptNotCleared = -12;
inline constexpr SensorStatus kSensorControlInterface = -20;
inline constexpr SensorStatus kSensorInvalidCommand = -30;
inline constexpr SensorStatus kSensorDivisionByZero = -40;
inline constexpr SensorStatus kSensorRefSpadInit = -50;
inline constexpr SensorStatus kSensorNotImplemented = -99;

// Range status of a measurement (RangingResult::rangeStatus).
inline constexpr uint8_t kRangeValid = 0;
inline constexpr uint8_t kRangeSigmaFail = 1;
inline constexpr uint8_t kRangeSignalFail = 2;
inline constexpr uint8_t kRangeMinRangeFail = 3;
inline constexpr uint8_t kRangePhaseFail = 4;
inline constexpr uint8_t kRangeHardwareFail = 5;
inline constexpr uint8_t kRangeNoUpdate = 255;
