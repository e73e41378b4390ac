// Pulse-width control of the servo boards: 0xA3 with a parameter byte, 0xA1 with the pulse
// width's high and low byte, every byte in a board exchange of its own.
#pragma once

#include <cstdint>

// Drives one board (address2 == 0) or two. results points at slot 6 of the caller's array
// (slots 6 to 9). Returns 0 when address1 or address2 is 0, -1 when a step fails, otherwise
// the result of the closing disconnect.
int DualServo_1500_PWM(int32_t address1, int32_t address2, int32_t high1, int32_t low1,
                       int32_t high2, int32_t low2, int32_t parameter1, int32_t parameter2,
                       int32_t *results);

// The most records one call can carry in its array.
inline constexpr int32_t kMaxServoRecords = 63;

// Sends 0xA3 and parameter to each of the count boards in turn, then 0xA1 with its high and
// low byte to each. A count of 0 or less touches no board. Returns -1 when an exchange fails,
// otherwise the result of the closing disconnect.
int Multi_Servo_1500_PWM(const int32_t *addresses, const int32_t *highs, const int32_t *lows,
                         int32_t count, int32_t parameter);
