// The ultrasonic ranger: a temperature byte and the two bytes of a range scan, each asked
// for with a doubled command byte and read after the board had 100 ms to measure.
#pragma once

#include <cstdint>

// On success results[0..3] (slots 2 to 5) become 0xED, the range's low byte, its high byte,
// 0xAA. A failure keeps what was stored so far (the temperature in results[0], then the low
// byte in results[1]) and returns -1; otherwise returns the result of the closing disconnect.
int Ultra_Sonic_Scan(int32_t address, int32_t *results);
