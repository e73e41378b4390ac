#include "boards/ultrasonic.h"

#include "adapter/bus.h"
#include "adapter/connection.h"
#include "boards/board_exchange.h"
#include "boards/board_failure.h"
#include "platform/wait.h"

#include <cstdio>

namespace {

constexpr uint32_t kMeasureMs = 100;

struct RangerCommand {
    uint8_t command;
    uint16_t readLength;
    const char *format; // printed with byte valueIndex of the reply
    int valueIndex;
    bool judgeWriteLate; // the write's result is judged only after the wait
    uint8_t RangerReading::*value;
};

constexpr int kCommands = 3;
constexpr RangerCommand kCommandTable[kCommands] = {
    {0xF1, 1, "TEMP 1 =%x \n", 0, false, &RangerReading::temperature},
    {0xF4, 4, "SCAN LSB  2 =%x \n", 1, false, &RangerReading::rangeLow},
    {0xF5, 4, "SCAN MSB =%x \n", 1, true, &RangerReading::rangeHigh},
};

} // namespace

RangerReading Ultra_Sonic_Scan(int32_t address) {
    RangerReading reading;
    AdapterConnection connection{.form = ConnectionForm::Stopping};
    if (!OpenAdapterConnection(connection))
        return reading;

    const uint8_t device = Low8(address);
    for (int i = 0; i < kCommands; ++i) {
        const RangerCommand &row = kCommandTable[i];
        const uint8_t command[2] = {row.command, row.command};
        const bool written = I2cWrite(connection.handle, device, command, 2).ok();
        if (!written && !row.judgeWriteLate) {
            EndFailedBoardOperation(connection, kI2cWriteName);
            return reading;
        }
        PlatformSleepMs(kMeasureMs);
        if (!written) {
            EndFailedBoardOperation(connection, kI2cWriteName);
            return reading;
        }
        uint8_t reply[4] = {};
        if (!I2cRead(connection.handle, device, reply, row.readLength).ok()) {
            EndFailedBoardOperation(connection, kI2cReadName);
            return reading;
        }
        reading.*row.value = reply[row.valueIndex];
        reading.valuesRead = i + 1;
        printf(row.format, reply[row.valueIndex]);
    }
    ReleaseAdapterConnection(connection);
    reading.outcome = Outcome::Done;
    return reading;
}
