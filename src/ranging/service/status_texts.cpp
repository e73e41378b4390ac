#include "ranging/service/status_texts.h"

#include <cstdio>

namespace {

struct StatusText {
    int code;
    const char *text;
};

constexpr StatusText kStatusTexts[] = {
    {kSensorOk, "No Error"},
    {kSensorCalibrationWarning, "Calibration Warning Error"},
    {kSensorMinClipped, "Min clipped error"},
    {kSensorUndefined, "Undefined error"},
    {kSensorInvalidParams, "Invalid parameters error"},
    {kSensorNotSupported, "Not supported error"},
    {kSensorRangeError, "Range error"},
    {kSensorTimeOut, "Time out error"},
    {kSensorModeNotSupported, "Mode not supported error"},
    {kSensorBufferTooSmall, "Buffer too small"},
    {kSensorGpioNotExisting, "GPIO not existing"},
    {kSensorGpioFunctNotSupported, "GPIO funct not supported"},
    {kSensorInterruptNotCleared, "Interrupt not Cleared"},
    {kSensorControlInterface, "Control Interface Error"},
    {kSensorInvalidCommand, "Invalid Command Error"},
    {kSensorDivisionByZero, "Division by zero Error"},
    {kSensorRefSpadInit, "Reference Spad Init Error"},
    {kSensorNotImplemented, "Not implemented error"},
};

constexpr StatusText kRangeStatusTexts[] = {
    {kRangeValid, "Range Valid"},      {kRangeSigmaFail, "Sigma Fail"},
    {kRangeSignalFail, "Signal Fail"}, {kRangeMinRangeFail, "Min Range Fail"},
    {kRangePhaseFail, "Phase Fail"},   {kRangeHardwareFail, "Hardware Fail"},
};

template <size_t N>
void CopyText(const StatusText (&table)[N], int code, const char *fallBack, char *text) {
    const char *found = fallBack;
    for (const StatusText &entry : table) {
        if (entry.code == code) {
            found = entry.text;
            break;
        }
    }
    std::snprintf(text, kStatusTextSize, "%s", found);
}

} // namespace

SensorStatus VL53L0X_StatusText(SensorStatus status, char *text) {
    CopyText(kStatusTexts, status, "Unknown Error Code", text);
    return kSensorOk;
}

SensorStatus VL53L0X_RangeStatusText(uint8_t rangeStatus, char *text) {
    CopyText(kRangeStatusTexts, rangeStatus, "No Update", text);
    return kSensorOk;
}
