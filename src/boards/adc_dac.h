// The ADC/DAC board: four analogue inputs read one by one, each channel selection also
// setting the board's analogue output.
#pragma once

#include "adapter/failure_report.h"

#include <cstdint>

inline constexpr int kAdcChannels = 4;

struct AdcDacReading {
    Outcome outcome = Outcome::Failed;
    int channelsRead = 0; // channels 1.. read before the end: 4 when done
    uint8_t channels[kAdcChannels] = {};
};

// Reads channels 1 to 4 in turn, sending the low byte of dacValue with every channel command,
// and prints each. A failed transfer ends the reading; the channels read before it are kept.
AdcDacReading ADCs_DAC_Exchange(int32_t address, int32_t dacValue);
