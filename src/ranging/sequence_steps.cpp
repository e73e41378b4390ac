#include "ranging/sequence_steps.h"

#include "ranging/registers.h"
#include "ranging/timing_budget.h"

namespace {

constexpr uint8_t kRegSequenceConfig = 0x01;

// AND masks that switch each step off, by id. DSS also clears bit 5, which belongs to it.
constexpr uint8_t kStepDisableMask[] = {0xEF, 0xD7, 0xFB, 0xBF, 0x7F};

} // namespace

SequenceStepFlags SequenceStepsFromRegister(uint8_t value) {
    SequenceStepFlags flags;
    flags.tcc = (value >> 4) & 1;
    flags.dss = (value >> 3) & 1;
    flags.msrc = (value >> 2) & 1;
    flags.preRange = (value >> 6) & 1;
    flags.finalRange = (value >> 7) & 1;
    return flags;
}

SensorStatus VL53L0X_ReadSequenceSteps(RangingDevice &device, SequenceStepFlags *flags) {
    uint8_t value = 0;
    const SensorStatus status = VL53L0X_ReadReg8(device, kRegSequenceConfig, &value);
    *flags = SequenceStepsFromRegister(value);
    return status;
}

SensorStatus VL53L0X_DisableSequenceStep(RangingDevice &device, uint8_t id) {
    uint8_t old = 0;
    const SensorStatus status = VL53L0X_ReadReg8(device, kRegSequenceConfig, &old);
    if (id > kStepFinalRange) {
        return kSensorInvalidParams;
    }
    if (status != kSensorOk) {
        return status;
    }
    const uint8_t updated = old & kStepDisableMask[id];
    if (updated == old) {
        return kSensorOk;
    }
    const SensorStatus written = VL53L0X_WriteReg8(device, kRegSequenceConfig, updated);
    if (written != kSensorOk) {
        return written;
    }
    device.sequenceConfig = updated;
    // The freed time goes to the final range; a budget that no longer fits keeps the old split.
    (void)VL53L0X_ApplyTimingBudget(device, device.CurrentParameters.measurementTimingBudgetUs);
    return kSensorOk;
}

SensorStatus VL53L0X_ReadVcselPeriod(RangingDevice &device, uint8_t type, uint8_t *period) {
    uint8_t index = 0;
    if (type == kVcselPreRange) {
        index = 0x50;
    } else if (type == kVcselFinalRange) {
        index = 0x70;
    } else {
        return kSensorInvalidParams;
    }
    uint8_t value = 0;
    const SensorStatus status = VL53L0X_ReadReg8(device, index, &value);
    *period = static_cast<uint8_t>((value + 1) * 2);
    return status;
}
