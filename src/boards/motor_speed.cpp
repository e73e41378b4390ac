#include "boards/motor_speed.h"

#include "adapter/bus.h"
#include "boards/board_connection.h"
#include "boards/board_exchange.h"
#include "platform/wait.h"

namespace {

constexpr uint8_t kSelect = 0xC1;
constexpr uint8_t kReadSpeed = 0xC0;

struct MotorStep {
    uint32_t waitMs;
    uint16_t readLength;
    int valueIndex; // byte of the reply kept
};

constexpr int kSteps = 3;
constexpr MotorStep kStepTable[kSteps] = {{100, 1, 0}, {100, 2, 0}, {10, 2, 1}};

} // namespace

MotorSpeedReading ReadMotorSpeed(HDLN handle, int32_t address, int32_t parameter) {
    MotorSpeedReading reading;
    const uint8_t device = Low8(address);
    const uint8_t bytes[kSteps] = {kSelect, Low8(parameter), kReadSpeed};
    for (int i = 0; i < kSteps; ++i) {
        const MotorStep &row = kStepTable[i];
        reading.failure = I2cWrite(handle, device, &bytes[i], 1);
        if (!reading.failure.ok())
            return reading;
        PlatformSleepMs(row.waitMs);
        uint8_t reply[2] = {};
        reading.failure = I2cRead(handle, device, reply, row.readLength);
        if (!reading.failure.ok())
            return reading;
        reading.lastValue = reply[row.valueIndex];
        reading.repliesRead = i + 1;
    }
    reading.outcome = Outcome::Done;
    return reading;
}

MotorSpeedReading Motor_Speeds_Read(int32_t address, int32_t parameter) {
    return ReadOnOwnConnection<MotorSpeedReading>(
        ConnectionForm::SilentStopping,
        [&](HDLN handle, const Reporter &) { return ReadMotorSpeed(handle, address, parameter); });
}
