#include "boards/adc_dac.h"

#include "adapter/connection.h"
#include "boards/board_exchange.h"
#include "boards/board_failure.h"

#include <cstdio>

namespace {
constexpr uint8_t kFirstChannelCommand = 0x40;
constexpr const char *kChannelLines[kAdcChannels] = {"ADC 1 =%x \n", "ADC 2 =%x \n", "ADC 3 =%x \n",
                                                     "ADC 4 =%x \n"};
} // namespace

AdcDacReading ADCs_DAC_Exchange(int32_t address, int32_t dacValue) {
    AdcDacReading reading;
    AdapterConnection connection{.form = ConnectionForm::Stopping};
    if (!OpenAdapterConnection(connection))
        return reading;

    for (int n = 0; n < kAdcChannels; ++n) {
        const uint8_t command[2] = {static_cast<uint8_t>(kFirstChannelCommand + n), Low8(dacValue)};
        const ExchangeReply reply = BoardExchange(connection.handle, Low8(address), command, 2);
        if (reply.outcome == Outcome::Failed) {
            EndFailedBoardOperation(connection, reply.failedTransfer);
            return reading;
        }
        printf(kChannelLines[n], reply.byte);
        reading.channels[n] = reply.byte;
        reading.channelsRead = n + 1;
    }
    ReleaseAdapterConnection(connection);
    reading.outcome = Outcome::Done;
    return reading;
}
