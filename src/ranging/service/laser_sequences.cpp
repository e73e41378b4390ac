#include "ranging/service/laser_sequences.h"

#include "ranging/calibration/ref_calibration.h"
#include "ranging/calibration/ref_spad_management.h"
#include "ranging/calibration/static_init.h"
#include "ranging/configuration/limit_checks.h"
#include "ranging/measurement/single_ranging.h"
#include "ranging/service/status_texts.h"

namespace {

// 0.0345 MCPS per SPAD in 16.16: below it a return signal is too weak to range on.
constexpr uint32_t kRangeIgnoreThreshold = 2260;
constexpr uint8_t kLimitChecksEnabled[] = {kCheckSigma, kCheckSignalRateFinalRange,
                                           kCheckRangeIgnoreThreshold};

void PrintApiStatus(const RangingDevice &device, SensorStatus status) {
    char text[kStatusTextSize];
    VL53L0X_StatusText(status, text);
    device.reporter->Line("API Status: %i : %s\n", status, text);
}

} // namespace

SensorStatus CalibrateRangingSensor(RangingDevice &device) {
    device.reporter->Line("Call of VL53L0X_StaticInit\n");
    SensorStatus status = VL53L0X_StaticInit(device);
    PrintApiStatus(device, status);
    if (status != kSensorOk)
        return status;

    device.reporter->Line("Call of VL53L0X_PerformRefCalibration\n");
    uint8_t vhvSetting = 0;
    uint8_t phaseCal = 0;
    status = VL53L0X_PerformRefCalibration(device, &vhvSetting, &phaseCal, 1);
    PrintApiStatus(device, status);
    if (status != kSensorOk)
        return status;

    device.reporter->Line("Call of VL53L0X_PerformRefSpadManagement\n");
    uint32_t refSpadCount = 0;
    uint8_t isApertureSpads = 0;
    status = VL53L0X_PerformRefSpadManagement(device, &refSpadCount, &isApertureSpads);
    device.reporter->Line("refSpadCount = %d, isApertureSpads = %d\n",
                          static_cast<int>(refSpadCount), isApertureSpads);
    PrintApiStatus(device, status);
    if (status != kSensorOk)
        return status;

    device.reporter->Line("Call of VL53L0X_SetDeviceMode\n");
    device.CurrentParameters.deviceMode = 0;
    PrintApiStatus(device, kSensorOk);

    for (uint8_t id : kLimitChecksEnabled) {
        status = VL53L0X_EnableLimitCheck(device, id);
        if (status != kSensorOk)
            return status;
    }
    device.CurrentParameters.limitCheckValue[kCheckRangeIgnoreThreshold] = kRangeIgnoreThreshold;
    return kSensorOk;
}

uint16_t MeasureRange(RangingDevice &device) {
    RangingResult result;
    MeasureRangeOnce(device, result);
    return result.rangeMm;
}

SensorStatus MeasureRangeOnce(RangingDevice &device, RangingResult &result) {
    device.reporter->Line("Call of VL53L0X_PerformSingleRangingMeasurement\n");
    SensorStatus status = VL53L0X_PerformSingleRangingMeasurement(device, &result);
    PrintApiStatus(device, status);

    char text[kStatusTextSize];
    VL53L0X_RangeStatusText(result.rangeStatus, text);
    device.reporter->Line("Range Status: %i : %s\n", result.rangeStatus, text);
    device.reporter->Line("RANGE IGNORE THRESHOLD: %f\n\n",
                          device.lastResult.signalRateReturn / 65536.0);
    return status;
}
