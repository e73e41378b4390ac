#include "boards/servo_current.h"

#include "adapter/connection.h"
#include "boards/board_exchange.h"
#include "boards/board_failure.h"
#include "platform/wait.h"

#include <cstdio>

namespace {

constexpr uint8_t kReadCurrent = 0xA2;
constexpr uint32_t kSettleMs = 100;

// One board's reading. A board still busy may miss the first 0xA2, so only the repeated
// one's result counts, and only once the board had its time to measure.
bool ReadCurrent(HDLN handle, uint8_t address, uint8_t *current) {
    DlnI2cMasterWrite(handle, 0, address, 0, 0, 1, &kReadCurrent);
    PlatformSleepMs(kSettleMs);
    const DLN_RESULT second = DlnI2cMasterWrite(handle, 0, address, 0, 0, 1, &kReadCurrent);
    PlatformSleepMs(kSettleMs);
    if (!DLN_SUCCEEDED(second))
        return false;
    uint8_t reply[4] = {};
    if (!DLN_SUCCEEDED(DlnI2cMasterRead(handle, 0, address, 0, 0, 4, reply)))
        return false;
    *current = reply[1];
    return true;
}

} // namespace

int DualServo_1500_Current(int32_t address2, int32_t *results, int32_t address1) {
    AdapterConnection connection{.form = ConnectionForm::Stopping};
    if (!OpenAdapterConnection(connection))
        return -1;

    uint8_t current = 0;
    if (!ReadCurrent(connection.handle, Low8(address1), &current))
        return FailBoardOperation(connection, "DualServo_1500_Current() failed\n");
    printf("SERVO  0 Current =%x \n", current);
    results[0] = current;
    if (address2 == 0) {
        ReleaseAdapterConnection(connection);
        return 0;
    }
    if (!ReadCurrent(connection.handle, Low8(address2), &current))
        return FailBoardOperation(connection, "DualServo_1500_Current() failed\n");
    printf("SERVO  1 Current =%x \n", current);
    results[1] = current;
    results[2] = 0;
    results[3] = 0;
    return ReleaseAdapterConnection(connection);
}
