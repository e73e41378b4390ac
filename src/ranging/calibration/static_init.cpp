#include "ranging/calibration/static_init.h"

#include "ranging/bus/register_map.h"
#include "ranging/bus/registers.h"
#include "ranging/calibration/nvm_spad_info.h"
#include "ranging/calibration/ref_spad_management.h"
#include "ranging/calibration/ref_spads.h"
#include "ranging/configuration/current_parameters.h"
#include "ranging/configuration/sequence_steps.h"
#include "ranging/configuration/step_timeouts.h"
#include "ranging/configuration/timing_budget.h"
#include "ranging/configuration/tuning_table.h"
#include "ranging/measurement/single_ranging.h"

namespace {

constexpr uint8_t kGpioNewSampleReady = 0x04;
constexpr uint8_t kMaxNonApertureSpads = 12;
constexpr uint8_t kMaxApertureSpads = 32;

// Applies the reference SPADs stored in non-volatile memory when they are plausible,
// otherwise searches them anew.
SensorStatus ChooseRefSpads(RangingDevice &device) {
    const uint8_t count = device.refSpadCount;
    const uint8_t type = device.isApertureSpads;
    if ((type == 0 && count <= kMaxNonApertureSpads) || (type == 1 && count <= kMaxApertureSpads))
        return VL53L0X_ApplyRefSpadsFromNvm(device, count, type);
    uint32_t foundCount = 0;
    uint8_t foundType = 0;
    return VL53L0X_PerformRefSpadManagement(device, &foundCount, &foundType);
}

// The interrupt signals a new sample, active low; the sensor starts with no interrupt pending.
SensorStatus SetUpInterrupt(RangingDevice &device) {
    SensorStatus status = VL53L0X_WriteReg8(device, kRegGpioConfig, kGpioNewSampleReady);
    if (status == kSensorOk)
        status = VL53L0X_UpdateReg8(device, kRegGpioActiveHigh, 0xEF, 0x00);
    if (status != kSensorOk)
        return status;
    device.gpioInterruptMode = kGpioNewSampleReady;
    status = VL53L0X_ClearInterrupt(device);
    if (status != kSensorOk)
        return status;

    // Page-1 register 0x84 is read for its side effect only.
    status = VL53L0X_WriteReg8(device, kRegPageSelect, 0x01);
    uint16_t unused = 0;
    if (status == kSensorOk && VL53L0X_ReadReg16(device, kRegGpioActiveHigh, &unused) != kSensorOk)
        status = kSensorControlInterface;
    SensorStatus page = VL53L0X_WriteReg8(device, kRegPageSelect, 0x00);
    return status != kSensorOk ? status : page;
}

// Records the VCSEL periods and the pre-range and final-range timeouts used by the sigma
// estimate of every measurement.
SensorStatus RecordStepTimings(RangingDevice &device) {
    SensorStatus status =
        VL53L0X_ReadVcselPeriod(device, kVcselPreRange, &device.preRangeVcselPeriod);
    if (status == kSensorOk)
        status = VL53L0X_ReadVcselPeriod(device, kVcselFinalRange, &device.finalRangeVcselPeriod);
    if (status == kSensorOk)
        status = VL53L0X_ReadRangeTimeouts(device);
    return status;
}

} // namespace

SensorStatus VL53L0X_StaticInit(RangingDevice &device) {
    ::CurrentParameters parameters{};

    // An unread non-volatile memory leaves the record's values, which the choice below checks.
    (void)VL53L0X_ReadNvmSpadInfo(device);
    SensorStatus status = ChooseRefSpads(device);
    if (status != kSensorOk)
        return status;

    const bool useDefault = device.useDefaultTuning != 0 || device.customTuningTable == nullptr;
    status = VL53L0X_ApplyTuningSettings(device, useDefault ? DefaultTuningTable
                                                            : device.customTuningTable);
    if (status == kSensorOk)
        status = SetUpInterrupt(device);
    if (status == kSensorOk)
        status = VL53L0X_ReadCurrentParameters(device, &parameters);
    if (status != kSensorOk)
        return status;

    uint8_t fractional = 0;
    status = VL53L0X_ReadReg8(device, kRegRangeConfig, &fractional);
    if (status != kSensorOk)
        return status;
    device.CurrentParameters = parameters;
    device.rangeFractionalEnable = fractional & 0x01;

    status = VL53L0X_ReadReg8(device, kRegSequenceConfig, &device.sequenceConfig);
    if (status == kSensorOk)
        status = VL53L0X_DisableSequenceStep(device, kStepTcc);
    if (status == kSensorOk)
        status = VL53L0X_DisableSequenceStep(device, kStepMsrc);
    if (status != kSensorOk)
        return status;
    device.deviceState = 3;

    return RecordStepTimings(device);
}
