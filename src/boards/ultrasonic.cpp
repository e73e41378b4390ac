#include "boards/ultrasonic.h"

#include "adapter/connection.h"
#include "boards/board_exchange.h"
#include "boards/board_failure.h"
#include "platform/wait.h"

#include <cstdio>

namespace {

constexpr uint32_t kMeasureMs = 100;
constexpr uint8_t kFirstMarker = 0xED;
constexpr uint8_t kLastMarker = 0xAA;

struct RangerCommand {
    uint8_t command;
    uint16_t readLength;
    const char *format; // printed with byte valueIndex of the reply
    int valueIndex;
    bool judgeWriteLate; // the write's result is judged only after the wait
};

constexpr int kCommands = 3;
constexpr RangerCommand kCommandTable[kCommands] = {
    {0xF1, 1, "TEMP 1 =%x \n", 0, false},
    {0xF4, 4, "SCAN LSB  2 =%x \n", 1, false},
    {0xF5, 4, "SCAN MSB =%x \n", 1, true},
};

} // namespace

int Ultra_Sonic_Scan(int32_t address, int32_t *results) {
    AdapterConnection connection{.form = ConnectionForm::Stopping};
    if (!OpenAdapterConnection(connection))
        return -1;

    const uint8_t device = Low8(address);
    uint8_t values[kCommands] = {};
    for (int i = 0; i < kCommands; ++i) {
        const RangerCommand &row = kCommandTable[i];
        const uint8_t command[2] = {row.command, row.command};
        const bool written =
            DLN_SUCCEEDED(DlnI2cMasterWrite(connection.handle, 0, device, 0, 0, 2, command));
        if (!written && !row.judgeWriteLate)
            return FailBoardOperation(connection, "DlnI2cMasterWriteDevices() failed\n");
        PlatformSleepMs(kMeasureMs);
        if (!written)
            return FailBoardOperation(connection, "DlnI2cMasterWriteDevices() failed\n");
        uint8_t reply[4] = {};
        if (!DLN_SUCCEEDED(
                DlnI2cMasterRead(connection.handle, 0, device, 0, 0, row.readLength, reply)))
            return FailBoardOperation(connection, "DlnI2cMasterReadDevices() failed\n");
        values[i] = reply[row.valueIndex];
        printf(row.format, values[i]);
        // Temperature and low byte land at once; a later failure leaves them in their slots.
        if (i < kCommands - 1)
            results[i] = values[i];
    }
    results[0] = kFirstMarker;
    results[1] = values[1];
    results[2] = values[2];
    results[3] = kLastMarker;
    return ReleaseAdapterConnection(connection);
}
