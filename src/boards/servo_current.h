// The servo boards' current reading: 0xA2 written twice 100 ms apart, then after another
// 100 ms a four-byte reply whose second byte is the current.
#pragma once

#include <cstdint>

// Reads the board at address1 into results[0] (slot 6) and, unless address2 is 0, the one at
// address2 into results[1] with results[2] and results[3] cleared. The arguments keep the
// order callers have always used. Returns -1 on failure, 0 when only the first board was
// read, otherwise the result of the closing disconnect.
int DualServo_1500_Current(int32_t address2, int32_t *results, int32_t address1);
