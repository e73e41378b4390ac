#include "ranging/measurement/single_ranging.h"

#include "ranging/bus/register_list.h"
#include "ranging/bus/register_map.h"
#include "ranging/bus/registers.h"
#include "ranging/bus/waits.h"
#include "ranging/measurement/range_status.h"

namespace {

constexpr uint8_t kResultBlockSize = 12;
// The start bit is polled this many passes (the first pass reads nothing).
constexpr uint32_t kStartPassLimit = 2000;
constexpr int kClearAttempts = 3;

uint16_t BigEndian16(const uint8_t *bytes) {
    return static_cast<uint16_t>(bytes[0] << 8 | bytes[1]);
}

} // namespace

SensorStatus VL53L0X_StartRanging(RangingDevice &device) {
    // The stop variable goes back on the sensor's internal page before every start.
    SensorStatus status = WriteRegisterList(device, {{kRegPrivateAccess, 0x01},
                                                     {kRegPageSelect, 0x01},
                                                     {kRegSysRangeStart, 0x00},
                                                     {kRegStopVariable, device.stopVariable},
                                                     {kRegSysRangeStart, 0x01},
                                                     {kRegPageSelect, 0x00},
                                                     {kRegPrivateAccess, 0x00},
                                                     {kRegSysRangeStart, 0x01}});
    if (status != kSensorOk)
        return status;

    uint32_t passes = 0;
    uint8_t last = 0x01;
    do {
        if (passes > 0) {
            status = VL53L0X_ReadReg8(device, kRegSysRangeStart, &last);
            if (status != kSensorOk)
                return status;
        }
        ++passes;
    } while ((last & 0x01) != 0 && passes < kStartPassLimit);
    return passes >= kStartPassLimit ? kSensorTimeOut : kSensorOk;
}

SensorStatus VL53L0X_ReadRangingResult(RangingDevice &device, RangingResult *result) {
    *result = RangingResult{};
    uint8_t block[kResultBlockSize];
    SensorStatus status = VL53L0X_ReadBlock(device, kRegResultBlock, block, kResultBlockSize);
    if (status != kSensorOk) {
        result->rangeStatus = kRangeNoUpdate;
        return status;
    }

    result->effectiveSpadCount = BigEndian16(block + 2);
    // 9.7 register rates become 16.16.
    result->signalRateReturn = static_cast<uint32_t>(BigEndian16(block + 6)) << 9;
    result->ambientRateReturn = static_cast<uint32_t>(BigEndian16(block + 8)) << 9;

    uint16_t range = BigEndian16(block + 10);
    if (device.linearityGain != 1000)
        range = static_cast<uint16_t>((device.linearityGain * static_cast<uint32_t>(range) + 500) /
                                      1000);
    if (device.rangeFractionalEnable != 0) {
        result->rangeMm = static_cast<uint16_t>(range >> 2);
        result->rangeFraction = static_cast<uint8_t>(range << 6); // low two bits to bits 6, 7
    } else {
        result->rangeMm = range;
    }

    uint8_t rangeStatus = kRangeNoUpdate;
    VL53L0X_DetermineRangeStatus(device, block[0], result->signalRateReturn,
                                 result->effectiveSpadCount, *result, &rangeStatus);
    result->rangeStatus = rangeStatus;
    device.lastResult = *result;
    return kSensorOk;
}

SensorStatus VL53L0X_ClearInterrupt(RangingDevice &device) {
    int attempts = 0;
    uint8_t interrupt = 0;
    do {
        SensorStatus status =
            WriteRegisterList(device, {{kRegInterruptClear, 0x01}, {kRegInterruptClear, 0x00}});
        if (status == kSensorOk)
            status = VL53L0X_ReadReg8(device, kRegInterruptStatus, &interrupt);
        if (status != kSensorOk)
            return status;
        ++attempts;
    } while ((interrupt & 0x07) != 0 && attempts < kClearAttempts);
    // Only a clear seen after the first or second attempt counts.
    return attempts < kClearAttempts ? kSensorOk : kSensorInterruptNotCleared;
}

SensorStatus VL53L0X_PerformSingleRangingMeasurement(RangingDevice &device, RangingResult *result) {
    *result = RangingResult{};
    result->rangeStatus = kRangeNoUpdate;
    device.CurrentParameters.deviceMode = 0;

    SensorStatus status = VL53L0X_StartRanging(device);
    if (status == kSensorOk)
        status = VL53L0X_WaitDataReady(device);
    if (status == kSensorOk)
        device.deviceState = 3;
    if (status == kSensorOk)
        status = VL53L0X_ReadRangingResult(device, result);
    if (status == kSensorOk)
        status = VL53L0X_ClearInterrupt(device);
    return status;
}
