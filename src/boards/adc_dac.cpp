#include "boards/adc_dac.h"

#include "adapter/connection.h"
#include "boards/board_exchange.h"
#include "boards/board_failure.h"

#include <cstdio>

namespace {
constexpr uint8_t kFirstChannelCommand = 0x40;
constexpr int kChannels = 4;
constexpr const char *kChannelLines[kChannels] = {"ADC 1 =%x \n", "ADC 2 =%x \n", "ADC 3 =%x \n",
                                                  "ADC 4 =%x \n"};
} // namespace

int ADCs_DAC_Exchange(int32_t address, int32_t dacValue, int32_t *results) {
    AdapterConnection connection{.form = ConnectionForm::Stopping};
    if (!OpenAdapterConnection(connection))
        return -1;

    uint8_t values[kChannels] = {};
    for (int n = 0; n < kChannels; ++n) {
        const uint8_t command[2] = {static_cast<uint8_t>(kFirstChannelCommand + n), Low8(dacValue)};
        switch (BoardExchange(connection.handle, Low8(address), command, 2, &values[n])) {
        case ExchangeStatus::WriteFailed:
            return FailBoardOperation(connection, "DlnI2cMasterWriteDevices() failed\n");
        case ExchangeStatus::ReadFailed:
            return FailBoardOperation(connection, "DlnI2cMasterReadDevices() failed\n");
        case ExchangeStatus::Ok:
            break;
        }
        printf(kChannelLines[n], values[n]);
        // The first three channels land in their slots at once, so a later failure keeps them.
        if (n < kChannels - 1)
            results[n] = values[n];
    }
    for (int n = 0; n < kChannels; ++n)
        results[n] = values[n];
    return ReleaseAdapterConnection(connection);
}
