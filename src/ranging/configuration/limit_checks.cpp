#include "ranging/configuration/limit_checks.h"

#include "ranging/bus/register_map.h"
#include "ranging/bus/registers.h"

namespace {

// The sensor keeps rates with 7 fractional bits; the record keeps 16.
uint16_t ToRegisterRate(uint32_t value) {
    return static_cast<uint16_t>(value >> 9);
}
uint32_t FromRegisterRate(uint16_t value) {
    return static_cast<uint32_t>(value) << 9;
}

} // namespace

SensorStatus VL53L0X_EnableLimitCheck(RangingDevice &device, uint8_t id) {
    if (id >= kLimitCheckCount) {
        return kSensorInvalidParams;
    }
    CurrentParameters &params = device.CurrentParameters;
    SensorStatus status = kSensorOk;
    if (id == kCheckSignalRateFinalRange) {
        status = VL53L0X_WriteReg16(device, kRegFinalRangeMinSignal,
                                    ToRegisterRate(params.limitCheckValue[id]));
    } else if (id == kCheckSignalRateMsrc) {
        status = VL53L0X_UpdateReg8(device, kRegMsrcConfig, 0xFE, 0x00);
    } else if (id == kCheckSignalRatePreRange) {
        status = VL53L0X_UpdateReg8(device, kRegMsrcConfig, 0xEF, 0x00);
    }
    if (status == kSensorOk) {
        params.limitCheckEnable[id] = 1;
    }
    return status;
}

SensorStatus VL53L0X_ReadLimitCheckValue(RangingDevice &device, uint8_t id, uint32_t *value) {
    if (id >= kLimitCheckCount) {
        return kSensorInvalidParams;
    }
    CurrentParameters &params = device.CurrentParameters;
    if (id == kCheckSignalRateFinalRange) {
        uint16_t raw = 0;
        if (VL53L0X_ReadReg16(device, kRegFinalRangeMinSignal, &raw) != kSensorOk) {
            return kSensorControlInterface;
        }
        // The sensor's register is the truth when set; zero means the check is off there.
        const uint32_t fromSensor = FromRegisterRate(raw);
        if (fromSensor != 0) {
            params.limitCheckValue[id] = fromSensor;
            params.limitCheckEnable[id] = 1;
        } else {
            params.limitCheckEnable[id] = 0;
        }
        *value = params.limitCheckValue[id];
        return kSensorOk;
    }
    if (id == kCheckSignalRateMsrc || id == kCheckSignalRatePreRange) {
        uint16_t raw = 0;
        if (VL53L0X_ReadReg16(device, kRegPreRangeMinSignal, &raw) != kSensorOk) {
            return kSensorControlInterface;
        }
        *value = FromRegisterRate(raw);
        return kSensorOk;
    }
    *value = params.limitCheckValue[id];
    return kSensorOk;
}
