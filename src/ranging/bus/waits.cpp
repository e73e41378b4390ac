#include "ranging/bus/waits.h"

#include "platform/wait.h"
#include "ranging/bus/register_map.h"
#include "ranging/bus/registers.h"

namespace {

// Every poll of the driver gives up after this many reads.
constexpr int kPollLimit = 2000;

// Reads register 0xC0 until it is zero (inReset) or non-zero; false after kPollLimit reads.
bool PollIdentification(RangingDevice &device, bool inReset) {
    for (int reads = 0; reads < kPollLimit; ++reads) {
        uint8_t value = 0;
        VL53L0X_ReadReg8(device, kRegIdentification, &value);
        if ((value == 0) == inReset)
            return true;
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
        if (checks >= kPollLimit)
            return kSensorTimeOut;
        PollingDelay();
        status = VL53L0X_CheckDataReady(device, &ready);
        if (status != kSensorOk)
            return status;
    }
    return kSensorOk;
}
