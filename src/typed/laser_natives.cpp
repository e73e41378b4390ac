// The natives of the ranging sensor: connect (reset, identification, bus address, stop
// variable), calibrate and measure, on the session's own driver record. The driver prints
// nothing here; its failures carry the failed transfer's code, or the sensor's status.
#include "ranging/bus/register_map.h"
#include "ranging/bus/registers.h"
#include "ranging/bus/waits.h"
#include "ranging/service/laser_sequences.h"
#include "ranging/service/laser_service.h"
#include "ranging/service/status_texts.h"
#include "typed/typed_call.h"
#include "typed/typed_export.h"

#include <cstdio>
#include <string>

namespace {

using std::chrono::milliseconds;

// As the fifteen methods' laser operations: connect with the reset, calibrate with its
// reference measurements, one measurement.
constexpr milliseconds kConnectBound{1000};
constexpr milliseconds kCalibrateBound{3000};
constexpr milliseconds kMeasureBound{1000};
constexpr uint8_t kModelId = 0xEE; // register 0xC0 of the sensor
constexpr int kSensorAddress = kSensorBusAddress >> 1;

// How a driver step ended: the failed transfer's own code when there was one, else the
// sensor's status as the library's code.
BusResult DriverResult(const RangingDevice &device, SensorStatus status, std::string &detail) {
    if (status == kSensorOk)
        return BusResult{};
    char text[kStatusTextSize];
    VL53L0X_StatusText(status, text);
    detail = std::string(", sensor status ") + std::to_string(status) + " (" + text + ")";
    if (!device.busFailure.ok())
        return device.busFailure;
    return BusResult{kWrongDevice, "ranging sensor", kSensorAddress};
}

// Runs step(device) on the session's record with its failure record cleared; refuses a session
// whose sensor was never connected.
template <class Step> jint RunLaserCall(jlong id, milliseconds bound, Step step) {
    return RunTypedCall(id, bound, [&](TypedSession &session, std::string &detail) {
        RangingDevice &device = session.laser;
        if (device.adapterHandle == 0 || device.adapterHandle != session.adapter.handle())
            return BusResult{kWrongDevice, "ranging sensor not connected (laserConnect first)"};
        device.busFailure = BusResult{};
        return step(device, detail);
    });
}

} // namespace

I2CDLN_EXPORT(jint) Java_i2cdln_NativeSession_laserConnect(JNIEnv *, jclass, jlong id) {
    return RunTypedCall(id, kConnectBound, [&](TypedSession &session, std::string &detail) {
        RangingDevice &device = session.laser;
        device = RangingDevice{};
        device.reporter = &kSilentReporter;
        device.adapterHandle = session.adapter.handle();
        device.busAddress = kSensorBusAddress;
        uint8_t identification[4] = {};
        SensorStatus status = VL53L0X_ReadBlock(device, kRegIdentification, identification, 4);
        if (status != kSensorOk)
            return DriverResult(device, status, detail);
        if (identification[0] != kModelId) {
            char text[64];
            snprintf(text, sizeof text, ", identification 0x%02X where 0x%02X was expected",
                     identification[0], kModelId);
            detail = text;
            device.adapterHandle = 0;
            return BusResult{kWrongDevice, "ranging sensor", kSensorAddress};
        }
        status = VL53L0X_SoftReset(device);
        if (status == kSensorOk)
            status = ReadStopVariable(device);
        if (status != kSensorOk)
            device.adapterHandle = 0; // not usable until connected again
        return DriverResult(device, status, detail);
    });
}

I2CDLN_EXPORT(jint) Java_i2cdln_NativeSession_laserCalibrate(JNIEnv *, jclass, jlong id) {
    return RunLaserCall(id, kCalibrateBound, [](RangingDevice &device, std::string &detail) {
        return DriverResult(device, CalibrateRangingSensor(device), detail);
    });
}

I2CDLN_EXPORT(jint)
Java_i2cdln_NativeSession_laserMeasure(JNIEnv *env, jclass, jlong id,
                                       jintArray millimetresAndStatus2) {
    if (!ArrayHolds(env, millimetresAndStatus2, 2))
        return Refused(id);
    return RunLaserCall(id, kMeasureBound, [&](RangingDevice &device, std::string &detail) {
        RangingResult result;
        const SensorStatus status = MeasureRangeOnce(device, result);
        if (status != kSensorOk)
            return DriverResult(device, status, detail);
        const jint values[2] = {result.rangeMm, result.rangeStatus};
        env->SetIntArrayRegion(millimetresAndStatus2, 0, 2, values);
        if (result.rangeStatus == 0)
            return BusResult{};
        // The sensor measured, but not a range to trust: say so rather than hand it out.
        char text[kStatusTextSize];
        VL53L0X_RangeStatusText(result.rangeStatus, text);
        detail =
            std::string(", range status ") + std::to_string(result.rangeStatus) + " (" + text + ")";
        return BusResult{kNoTarget, "ranging sensor", kSensorAddress};
    });
}
