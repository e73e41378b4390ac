// The motor speed board: 0xC1, a parameter byte and the speed command 0xC0, each followed by
// a settling wait and a read; the speed is the second byte of the last reply.
#pragma once

#include <cstdint>

// On success results[0..3] (slots 2 to 5) become the speed, 0xAA, 0xAB, 0xAC. On failure
// results[0] holds byte 0 of the last reply read (or its input value) and -1 is returned;
// otherwise returns the result of the closing disconnect. Prints nothing unless it fails.
int Motor_Speeds_Read(int32_t address, int32_t parameter, int32_t *results);
