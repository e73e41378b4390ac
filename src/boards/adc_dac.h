// The ADC/DAC board: four analogue inputs read one by one, each channel selection also
// setting the board's analogue output.
#pragma once

#include "adapter/failure_report.h"
#include "adapter/reporter.h"

#include <cstdint>

inline constexpr int kAdcChannels = 4;

struct AdcDacReading {
    Outcome outcome = Outcome::Failed;
    BusResult failure;    // when failed: the transfer of channel channelsRead + 1 that failed
    int channelsRead = 0; // channels 1.. read before the end: 4 when done
    uint8_t channels[kAdcChannels] = {};
};

// The board's protocol on an open adapter: reads channels 1 to 4 in turn, sending the low byte
// of dacValue with every channel command, and reports each. A failed transfer ends the reading.
AdcDacReading ExchangeAdcDac(HDLN handle, const Reporter &reporter, int32_t address,
                             int32_t dacValue);

// On a connection of its own: reads channels 1 to 4 in turn, sending the low byte of dacValue with
// every channel command, and prints each. A failed transfer ends the reading; the channels read
// before it are kept.
AdcDacReading ADCs_DAC_Exchange(int32_t address, int32_t dacValue);
