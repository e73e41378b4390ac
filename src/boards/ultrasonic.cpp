#include "boards/ultrasonic.h"

#include "adapter/bus.h"
#include "boards/board_connection.h"
#include "boards/board_exchange.h"
#include "platform/wait.h"

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

RangerReading RangeUltrasonic(HDLN handle, const Reporter &reporter, int32_t address) {
    RangerReading reading;
    const uint8_t device = Low8(address);
    for (int i = 0; i < kCommands; ++i) {
        const RangerCommand &row = kCommandTable[i];
        const uint8_t command[2] = {row.command, row.command};
        const BusResult written = I2cWrite(handle, device, command, 2);
        if (!written.ok() && !row.judgeWriteLate) {
            reading.failure = written;
            return reading;
        }
        PlatformSleepMs(kMeasureMs);
        if (!written.ok()) {
            reading.failure = written;
            return reading;
        }
        uint8_t reply[4] = {};
        reading.failure = I2cRead(handle, device, reply, row.readLength);
        if (!reading.failure.ok())
            return reading;
        reading.*row.value = reply[row.valueIndex];
        reading.valuesRead = i + 1;
        reporter.Line(row.format, reply[row.valueIndex]);
    }
    reading.outcome = Outcome::Done;
    return reading;
}

RangerReading Ultra_Sonic_Scan(int32_t address) {
    return ReadOnOwnConnection<RangerReading>(ConnectionForm::Stopping,
                                              [&](HDLN handle, const Reporter &reporter) {
                                                  return RangeUltrasonic(handle, reporter, address);
                                              });
}
