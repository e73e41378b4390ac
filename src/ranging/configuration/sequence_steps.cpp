#include "ranging/configuration/sequence_steps.h"

#include "ranging/bus/register_map.h"
#include "ranging/bus/registers.h"

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

SensorStatus VL53L0X_ReadVcselPeriod(RangingDevice &device, uint8_t type, uint8_t *period) {
    uint8_t index = 0;
    if (type == kVcselPreRange) {
        index = kRegPreRangeVcselPeriod;
    } else if (type == kVcselFinalRange) {
        index = kRegFinalRangeVcselPeriod;
    } else {
        return kSensorInvalidParams;
    }
    uint8_t value = 0;
    const SensorStatus status = VL53L0X_ReadReg8(device, index, &value);
    *period = static_cast<uint8_t>((value + 1) * 2);
    return status;
}
