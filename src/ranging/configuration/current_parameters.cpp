#include "ranging/configuration/current_parameters.h"

#include "ranging/bus/register_map.h"
#include "ranging/bus/registers.h"
#include "ranging/configuration/limit_checks.h"
#include "ranging/configuration/timing_budget.h"

namespace {

constexpr int32_t kRangeOffsetStepUm = 250;

SensorStatus ReadReg16Checked(RangingDevice &device, uint8_t index, uint16_t *value) {
    return VL53L0X_ReadReg16(device, index, value) == kSensorOk ? kSensorOk
                                                                : kSensorControlInterface;
}

// The offset register holds a 12-bit two's complement number of 250 um steps.
int32_t RangeOffsetUm(uint16_t value) {
    int32_t steps = value & 0x0FFF;
    if (steps > 0x7FF)
        steps -= 0x1000;
    return steps * kRangeOffsetStepUm;
}

} // namespace

SensorStatus VL53L0X_ReadInterMeasurementPeriod(RangingDevice &device, uint32_t *periodMs) {
    uint16_t oscCalibration = 0;
    uint32_t period = 0;
    SensorStatus status = ReadReg16Checked(device, kRegOscCalibration, &oscCalibration);
    if (status == kSensorOk)
        status = VL53L0X_ReadReg32(device, kRegInterMeasurementPeriod, &period);
    if (status != kSensorOk)
        return status;
    if (oscCalibration != 0)
        *periodMs = period / oscCalibration;
    device.CurrentParameters.interMeasurementPeriodMs = *periodMs;
    return kSensorOk;
}

SensorStatus VL53L0X_ReadCurrentParameters(RangingDevice &device, ::CurrentParameters *block) {
    ::CurrentParameters &record = device.CurrentParameters;
    block->deviceMode = record.deviceMode;
    SensorStatus status =
        VL53L0X_ReadInterMeasurementPeriod(device, &block->interMeasurementPeriodMs);
    if (status != kSensorOk)
        return status;

    block->xtalkCompensationEnable = 0;
    uint16_t xtalk = 0;
    status = ReadReg16Checked(device, kRegXtalkRate, &xtalk);
    if (status != kSensorOk)
        return status;
    if (xtalk != 0) {
        record.xtalkCompensationRate = static_cast<uint32_t>(xtalk) * 8;
        record.xtalkCompensationEnable = 1;
    } else {
        record.xtalkCompensationEnable = 0;
    }
    block->xtalkCompensationRate = record.xtalkCompensationRate;

    uint16_t offset = 0;
    status = ReadReg16Checked(device, kRegRangeOffset, &offset);
    if (status != kSensorOk)
        return status;
    block->rangeOffsetUm = RangeOffsetUm(offset);

    for (uint8_t id = 0; id < kLimitCheckCount; ++id) {
        status = VL53L0X_ReadLimitCheckValue(device, id, &block->limitCheckValue[id]);
        if (status != kSensorOk)
            return status;
        // After the value: reading id 1 may change its flag.
        block->limitCheckEnable[id] = record.limitCheckEnable[id];
    }

    uint8_t sequenceConfig = 0;
    status = VL53L0X_ReadReg8(device, kRegSequenceConfig, &sequenceConfig);
    if (status != kSensorOk)
        return status;
    device.sequenceConfig = sequenceConfig;
    block->wrapAroundCheckEnable = record.wrapAroundCheckEnable =
        static_cast<uint8_t>(sequenceConfig >> 7);

    return VL53L0X_ComputeTimingBudget(device, &block->measurementTimingBudgetUs);
}
