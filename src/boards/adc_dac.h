// The ADC/DAC board: four analogue inputs read one by one, each channel selection also
// setting the board's analogue output.
#pragma once

#include <cstdint>

// Reads channels 1 to 4 into results[0..3] (slots 2 to 5), sending dacValue's low byte with
// every channel command. Returns -1 when a transfer fails (channels read so far are kept),
// otherwise the result of the closing disconnect.
int ADCs_DAC_Exchange(int32_t address, int32_t dacValue, int32_t *results);
