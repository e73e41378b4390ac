#include "ranging/calibration/ref_calibration.h"

#include "ranging/bus/register_list.h"
#include "ranging/bus/register_map.h"
#include "ranging/bus/registers.h"
#include "ranging/bus/waits.h"
#include "ranging/measurement/single_ranging.h"

namespace {

constexpr uint8_t kStartVhv = 0x40;
constexpr uint8_t kStartPhase = 0x00;
constexpr uint8_t kSequenceVhv = 0x01;
constexpr uint8_t kSequencePhase = 0x02;

} // namespace

SensorStatus VL53L0X_RunRefCalibrationStep(RangingDevice &device, uint8_t startByte) {
    SensorStatus status =
        VL53L0X_WriteReg8(device, kRegSysRangeStart, static_cast<uint8_t>(startByte | 0x01));
    if (status == kSensorOk)
        status = VL53L0X_WaitDataReady(device);
    if (status == kSensorOk)
        status = VL53L0X_ClearInterrupt(device);
    if (status == kSensorOk)
        status = VL53L0X_WriteReg8(device, kRegSysRangeStart, 0x00);
    return status;
}

SensorStatus VL53L0X_ReadRefCalibrationResults(RangingDevice &device, bool readVhv, bool readPhase,
                                               uint8_t *vhvSetting, uint8_t *phaseCal) {
    SensorStatus status = WriteRegisterList(
        device, {{kRegPageSelect, 0x01}, {kRegSysRangeStart, 0x00}, {kRegPageSelect, 0x06}});
    if (status == kSensorOk && readVhv)
        status = VL53L0X_ReadReg8(device, kRegVhvResult, vhvSetting);
    uint8_t phase = 0;
    if (status == kSensorOk && readPhase)
        status = VL53L0X_ReadReg8(device, kRegPhaseResult, &phase);
    // Back to page 0 even after a failed read.
    SensorStatus restore = WriteRegisterList(
        device, {{kRegPageSelect, 0x01}, {kRegSysRangeStart, 0x01}, {kRegPageSelect, 0x00}});
    *phaseCal = static_cast<uint8_t>(phase & 0xEF);
    return status != kSensorOk ? status : restore;
}

SensorStatus VL53L0X_RunPhaseCalibration(RangingDevice &device, uint8_t *phaseCal,
                                         uint8_t readBack) {
    SensorStatus status = VL53L0X_WriteReg8(device, kRegSequenceConfig, kSequencePhase);
    if (status == kSensorOk)
        status = VL53L0X_RunRefCalibrationStep(device, kStartPhase);
    if (status == kSensorOk && readBack == 1) {
        uint8_t unusedVhv = 0;
        return VL53L0X_ReadRefCalibrationResults(device, false, true, &unusedVhv, phaseCal);
    }
    *phaseCal = 0;
    return status;
}

SensorStatus VL53L0X_PerformRefCalibration(RangingDevice &device, uint8_t *vhvSetting,
                                           uint8_t *phaseCal, uint8_t readBack) {
    const uint8_t sequenceConfig = device.sequenceConfig;

    SensorStatus status = VL53L0X_WriteReg8(device, kRegSequenceConfig, kSequenceVhv);
    if (status == kSensorOk)
        status = VL53L0X_RunRefCalibrationStep(device, kStartVhv);
    if (status == kSensorOk && readBack == 1) {
        uint8_t unusedPhase = 0;
        status = VL53L0X_ReadRefCalibrationResults(device, true, false, vhvSetting, &unusedPhase);
    } else {
        *vhvSetting = 0;
    }
    if (status != kSensorOk)
        return status;

    status = VL53L0X_RunPhaseCalibration(device, phaseCal, readBack);
    if (status != kSensorOk)
        return status;

    return VL53L0X_WriteSequenceConfig(device, sequenceConfig);
}
