// Texts of sensor statuses and range statuses, for the "API Status" and "Range Status" lines.
#pragma once

#include "ranging/device/sensor_status.h"

#include <cstddef>

// Size of the caller's buffer for a status text (the longest text has 25 characters).
inline constexpr size_t kStatusTextSize = 32;

// Copies the text of status, zero-terminated, into text (kStatusTextSize chars, caller-owned).
// Codes without a text of their own give "Unknown Error Code". Always returns 0.
SensorStatus VL53L0X_StatusText(SensorStatus status, char *text);

// The same for a range status; codes above 5 (255 among them) give "No Update". Returns 0.
SensorStatus VL53L0X_RangeStatusText(uint8_t rangeStatus, char *text);
