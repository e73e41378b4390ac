#include "ranging/bus/waits.h"

#include "adapter/method_bound.h"
#include "platform/wait.h"
#include "ranging/bus/register_map.h"
#include "ranging/bus/registers.h"

#include <chrono>

namespace {

// Every poll of the driver gives up after this many reads.
constexpr int kPollLimit = 2000;
// The sensor enters and leaves its reset within a few milliseconds; the reset polls, which
// make no delay of their own, give up after this time too, whatever a read costs.
constexpr auto kResetPollTime = std::chrono::milliseconds(100);

// Reads register 0xC0 until it is zero (inReset) or non-zero; false after kPollLimit reads,
// kResetPollTime, or once the method's bound has passed.
bool PollIdentification(RangingDevice &device, bool inReset) {
    const auto deadline = std::chrono::steady_clock::now() + kResetPollTime;
    for (int reads = 0; reads < kPollLimit; ++reads) {
        uint8_t value = 0;
        VL53L0X_ReadReg8(device, kRegIdentification, &value);
        if ((value == 0) == inReset)
            return true;
        if (std::chrono::steady_clock::now() >= deadline || MethodBoundPassed())
            return false;
    }
    return false;
}

} // namespace

void PollingDelay() {
    PlatformPollingDelay();
}

SensorStatus VL53L0X_SoftReset(RangingDevice &device) {
    VL53L0X_WriteReg8(device, kRegSoftReset, 0x00);
    if (!PollIdentification(device, true))
        return kSensorTimeOut;
    PollingDelay();
    VL53L0X_WriteReg8(device, kRegSoftReset, 0x01);
    if (!PollIdentification(device, false))
        return kSensorTimeOut;
    PollingDelay();
    device.deviceState = 0;
    return kSensorOk;
}

SensorStatus VL53L0X_CheckDataReady(RangingDevice &device, uint8_t *ready) {
    uint8_t value = 0;
    if (device.gpioInterruptMode == 4) {
        VL53L0X_ReadReg8(device, kRegInterruptStatus, &value);
        *ready = (value & 0x07) == 4 ? 1 : 0;
        return (value & 0x18) != 0 ? kSensorRangeError : kSensorOk;
    }
    VL53L0X_ReadReg8(device, kRegResultBlock, &value);
    *ready = value & 0x01;
    return kSensorOk;
}

SensorStatus VL53L0X_WaitDataReady(RangingDevice &device) {
    uint8_t ready = 0;
    SensorStatus status = VL53L0X_CheckDataReady(device, &ready);
    if (status != kSensorOk)
        return status;
    for (int checks = 1; ready != 1; ++checks) {
        if (checks >= kPollLimit || MethodBoundPassed())
            return kSensorTimeOut;
        PollingDelay();
        status = VL53L0X_CheckDataReady(device, &ready);
        if (status != kSensorOk)
            return status;
    }
    return kSensorOk;
}
