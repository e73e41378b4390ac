#include "boards/adc_dac.h"

#include "boards/board_connection.h"
#include "boards/board_exchange.h"

namespace {
constexpr uint8_t kFirstChannelCommand = 0x40;
constexpr const char *kChannelLines[kAdcChannels] = {"ADC 1 =%x \n", "ADC 2 =%x \n", "ADC 3 =%x \n",
                                                     "ADC 4 =%x \n"};
} // namespace

AdcDacReading ExchangeAdcDac(HDLN handle, const Reporter &reporter, int32_t address,
                             int32_t dacValue) {
    AdcDacReading reading;
    for (int n = 0; n < kAdcChannels; ++n) {
        const uint8_t command[2] = {static_cast<uint8_t>(kFirstChannelCommand + n), Low8(dacValue)};
        const ExchangeReply reply = BoardExchange(handle, Low8(address), command, 2);
        if (reply.outcome == Outcome::Failed) {
            reading.failure = reply.failure;
            return reading;
        }
        reporter.Line(kChannelLines[n], reply.byte);
        reading.channels[n] = reply.byte;
        reading.channelsRead = n + 1;
    }
    reading.outcome = Outcome::Done;
    return reading;
}

AdcDacReading ADCs_DAC_Exchange(int32_t address, int32_t dacValue) {
    return ReadOnOwnConnection<AdcDacReading>(
        ConnectionForm::Stopping, [&](HDLN handle, const Reporter &reporter) {
            return ExchangeAdcDac(handle, reporter, address, dacValue);
        });
}
