#include "ranging/configuration/step_timeouts.h"

#include "ranging/bus/register_map.h"
#include "ranging/bus/registers.h"
#include "ranging/configuration/sequence_steps.h"
#include "ranging/configuration/timing_math.h"

namespace {

// Decoded MCLKs of a 16-bit encoded timeout register; a failed read gives -20.
SensorStatus ReadTimeoutMclks(RangingDevice &device, uint8_t index, uint16_t *mclks) {
    uint16_t encoded = 0;
    const SensorStatus status = VL53L0X_ReadReg16(device, index, &encoded);
    *mclks = DecodeTimeoutMclks(encoded);
    return status == kSensorOk ? kSensorOk : kSensorControlInterface;
}

// Whether a final-range timeout read also reads the pre-range VCSEL period (register 0x50).
// The value is not needed for the pre-range share; the step timeout and budget paths read it
// anyway, the static initialisation, which has just read it, does not.
enum class PreRangePeriod { Reread, Known };

// The pre-range MCLKs that the final-range register includes: 0 when pre-range is off.
SensorStatus ReadPreRangeShareMclks(RangingDevice &device, PreRangePeriod period, uint16_t *mclks) {
    *mclks = 0;
    SequenceStepFlags flags;
    SensorStatus status = VL53L0X_ReadSequenceSteps(device, &flags);
    if (status != kSensorOk || !flags.preRange) {
        return status;
    }
    if (period == PreRangePeriod::Reread) {
        uint8_t unused = 0;
        status = VL53L0X_ReadVcselPeriod(device, kVcselPreRange, &unused);
        if (status != kSensorOk) {
            return status;
        }
    }
    return ReadTimeoutMclks(device, kRegPreRangeTimeout, mclks);
}

SensorStatus ReadMsrcTimeout(RangingDevice &device, uint32_t *us) {
    uint8_t period = 0;
    SensorStatus status = VL53L0X_ReadVcselPeriod(device, kVcselPreRange, &period);
    uint8_t value = 0;
    if (status == kSensorOk) {
        status = VL53L0X_ReadReg8(device, kRegMsrcTimeout, &value);
    }
    *us = MclksToMicros(period, static_cast<uint16_t>(value + 1));
    return status;
}

SensorStatus ReadPreRangeTimeout(RangingDevice &device, uint32_t *us) {
    uint8_t period = 0;
    SensorStatus status = VL53L0X_ReadVcselPeriod(device, kVcselPreRange, &period);
    uint16_t mclks = 0;
    if (status == kSensorOk) {
        status = ReadTimeoutMclks(device, kRegPreRangeTimeout, &mclks);
    }
    *us = MclksToMicros(period, mclks);
    return status;
}

SensorStatus ReadFinalRangeTimeout(RangingDevice &device, PreRangePeriod prePeriod, uint32_t *us) {
    uint16_t preRangeMclks = 0;
    SensorStatus status = ReadPreRangeShareMclks(device, prePeriod, &preRangeMclks);
    uint8_t period = 0;
    if (status == kSensorOk) {
        status = VL53L0X_ReadVcselPeriod(device, kVcselFinalRange, &period);
    }
    uint16_t finalMclks = 0;
    if (status == kSensorOk) {
        status = ReadTimeoutMclks(device, kRegFinalRangeTimeout, &finalMclks);
    }
    *us = MclksToMicros(period, static_cast<uint16_t>(finalMclks - preRangeMclks));
    return status;
}

} // namespace

SensorStatus VL53L0X_ReadStepTimeout(RangingDevice &device, uint8_t id, uint32_t *us) {
    switch (id) {
    case kStepMsrc:
        return ReadMsrcTimeout(device, us);
    case kStepPreRange:
        return ReadPreRangeTimeout(device, us);
    case kStepFinalRange:
        return ReadFinalRangeTimeout(device, PreRangePeriod::Reread, us);
    default:
        *us = 0;
        return kSensorOk;
    }
}

SensorStatus VL53L0X_ReadRangeTimeouts(RangingDevice &device) {
    uint16_t preRangeMclks = 0;
    const SensorStatus status = ReadTimeoutMclks(device, kRegPreRangeTimeout, &preRangeMclks);
    device.preRangeTimeoutUs = MclksToMicros(device.preRangeVcselPeriod, preRangeMclks);
    if (status != kSensorOk) {
        return status;
    }
    return ReadFinalRangeTimeout(device, PreRangePeriod::Known, &device.finalRangeTimeoutUs);
}

SensorStatus VL53L0X_WriteFinalRangeTimeout(RangingDevice &device, uint32_t us) {
    uint16_t preRangeMclks = 0;
    SensorStatus status = ReadPreRangeShareMclks(device, PreRangePeriod::Reread, &preRangeMclks);
    if (status != kSensorOk) {
        return status;
    }
    uint8_t period = 0;
    status = VL53L0X_ReadVcselPeriod(device, kVcselFinalRange, &period);
    if (status != kSensorOk) {
        return status;
    }
    const uint32_t mclks = MicrosToMclks(period, us) + preRangeMclks;
    status = VL53L0X_WriteReg16(device, kRegFinalRangeTimeout, EncodeTimeoutMclks(mclks));
    if (status != kSensorOk) {
        return status;
    }
    device.finalRangeTimeoutUs = us;
    return kSensorOk;
}
