#include "ranging/measurement/range_status.h"

#include "ranging/configuration/limit_checks.h"
#include "ranging/measurement/sigma_estimate.h"

namespace {

// Device status codes (bits 3 to 6 of the result's status byte) that carry no new range.
bool IsNoUpdate(uint8_t code) {
    return code == 0 || code == 5 || code == 7 || code >= 12;
}

uint8_t RangeStatusFor(uint8_t code, bool rangeIgnoreFail, bool sigmaFail) {
    if (IsNoUpdate(code)) {
        return kRangeNoUpdate;
    }
    if (code == 1 || code == 2 || code == 3) {
        return kRangeHardwareFail;
    }
    if (code == 6 || code == 9) {
        return kRangePhaseFail;
    }
    if (code == 8 || code == 10) {
        return kRangeMinRangeFail;
    }
    if (code == 4 || rangeIgnoreFail) {
        return kRangeSignalFail;
    }
    if (sigmaFail) {
        return kRangeSigmaFail;
    }
    return kRangeValid;
}

} // namespace

SensorStatus VL53L0X_DetermineRangeStatus(RangingDevice &device, uint8_t deviceStatusByte,
                                          uint32_t signalRate, uint16_t spadCount,
                                          const RangingResult &result, uint8_t *rangeStatus) {
    const uint8_t code = (deviceStatusByte >> 3) & 0x0F;
    CurrentParameters &params = device.CurrentParameters;

    bool sigmaFail = false;
    if (params.limitCheckEnable[kCheckSigma]) {
        const uint32_t sigma = VL53L0X_EstimateSigma(device, result);
        uint32_t limit = 0;
        (void)VL53L0X_ReadLimitCheckValue(device, kCheckSigma, &limit);
        sigmaFail = limit != 0 && sigma > limit;
    }

    bool rangeIgnoreFail = false;
    if (params.limitCheckEnable[kCheckRangeIgnoreThreshold]) {
        const uint32_t ratePerSpad = spadCount == 0 ? 0 : (signalRate << 8) / spadCount;
        uint32_t limit = 0;
        (void)VL53L0X_ReadLimitCheckValue(device, kCheckRangeIgnoreThreshold, &limit);
        rangeIgnoreFail = limit != 0 && ratePerSpad < limit;
    }

    *rangeStatus = RangeStatusFor(code, rangeIgnoreFail, sigmaFail);

    params.limitCheckStatus[kCheckSigma] = !params.limitCheckEnable[kCheckSigma] || sigmaFail;
    params.limitCheckStatus[kCheckSignalRateFinalRange] =
        code == 4 || !params.limitCheckEnable[kCheckSignalRateFinalRange];
    params.limitCheckStatus[kCheckSignalRefClip] = !params.limitCheckEnable[kCheckSignalRefClip];
    params.limitCheckStatus[kCheckRangeIgnoreThreshold] =
        !params.limitCheckEnable[kCheckRangeIgnoreThreshold] || rangeIgnoreFail;
    return kSensorOk;
}
