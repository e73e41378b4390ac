#include "boards/motor_speed.h"

#include "adapter/connection.h"
#include "boards/board_exchange.h"
#include "boards/board_failure.h"
#include "platform/wait.h"

namespace {

constexpr uint8_t kSelect = 0xC1;
constexpr uint8_t kReadSpeed = 0xC0;
constexpr int32_t kMarkers[3] = {0xAA, 0xAB, 0xAC};

struct MotorStep {
    uint32_t waitMs;
    uint16_t readLength;
    int valueIndex; // byte of the reply kept in slot 2
};

constexpr int kSteps = 3;
constexpr MotorStep kStepTable[kSteps] = {{100, 1, 0}, {100, 2, 0}, {10, 2, 1}};

} // namespace

int Motor_Speeds_Read(int32_t address, int32_t parameter, int32_t *results) {
    AdapterConnection connection{.form = ConnectionForm::SilentStopping};
    if (!OpenAdapterConnection(connection))
        return -1;

    const uint8_t device = Low8(address);
    const uint8_t bytes[kSteps] = {kSelect, Low8(parameter), kReadSpeed};
    for (int i = 0; i < kSteps; ++i) {
        const MotorStep &row = kStepTable[i];
        if (!DLN_SUCCEEDED(DlnI2cMasterWrite(connection.handle, 0, device, 0, 0, 1, &bytes[i])))
            return FailBoardOperation(connection, "DlnI2cMasterWriteDevices() failed\n");
        PlatformSleepMs(row.waitMs);
        uint8_t reply[2] = {};
        if (!DLN_SUCCEEDED(
                DlnI2cMasterRead(connection.handle, 0, device, 0, 0, row.readLength, reply)))
            return FailBoardOperation(connection, "DlnI2cMasterReadDevices() failed\n");
        results[0] = reply[row.valueIndex];
    }
    for (int i = 0; i < 3; ++i)
        results[1 + i] = kMarkers[i];
    return ReleaseAdapterConnection(connection);
}
