// The natives of the ranging sensor: connect (reset, identification, bus address, stop
// variable), calibrate and measure, on the session's own driver record. The driver prints
// nothing here and repeats a register transfer that a NACK or a failed call hit; its failures
// carry the failed transfer's code, or the sensor's status.
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

// A register transfer that a NACK or a failed call hit is made again up to this many times: at
// a few percent of failed transfers, the connect and calibration's hundreds of transfers would
// otherwise rarely all get through.
constexpr uint8_t kTransferRetries = 3;

// How a driver step ended: a transfer that failed for good fails the step with its own code,
// also where the driver went on past it (its polls take a failed read for "not yet"); else the
// sensor's status as the library's code.
BusResult DriverResult(const RangingDevice &device, SensorStatus status, std::string &detail) {
    if (status != kSensorOk) {
        char text[kStatusTextSize];
        VL53L0X_StatusText(status, text);
        detail = std::string(", sensor status ") + std::to_string(status) + " (" + text + ")";
    }
    if (!device.busFailure.ok())
        return device.busFailure;
    if (status == kSensorOk)
        return BusResult{};
    return BusResult{kWrongDevice, "ranging sensor", kSensorAddress};
}

// Identification, reset and stop variable on a fresh record. A connect cut short (a failed
// write, the bound passed) can leave the sensor held in its reset or on a private page, where
// the identification reads 0 or something else; only a reset brings it back, so a wrong
// identification is read again after one before the device is refused.
BusResult ConnectSensor(RangingDevice &device, std::string &detail) {
    uint8_t identification[4] = {};
    SensorStatus status = VL53L0X_ReadBlock(device, kRegIdentification, identification, 4);
    const bool resetFirst = status == kSensorOk && identification[0] != kModelId;
    if (resetFirst) {
        status = VL53L0X_SoftReset(device);
        if (status == kSensorOk)
            status = VL53L0X_ReadBlock(device, kRegIdentification, identification, 4);
        else if (status == kSensorTimeOut && device.busFailure.ok())
            status = kSensorOk; // it does not reset as the sensor does: refused below
    }
    if (status != kSensorOk || !device.busFailure.ok())
        return DriverResult(device, status, detail);
    if (identification[0] != kModelId) {
        char text[64];
        snprintf(text, sizeof text, ", identification 0x%02X where 0x%02X was expected",
                 identification[0], kModelId);
        detail = text;
        return BusResult{kWrongDevice, "ranging sensor", kSensorAddress};
    }
    if (!resetFirst)
        status = VL53L0X_SoftReset(device);
    if (status == kSensorOk)
        status = ReadStopVariable(device);
    return DriverResult(device, status, detail);
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
        device.transferRetries = kTransferRetries;
        const BusResult result = ConnectSensor(device, detail);
        if (!result.ok())
            device.adapterHandle = 0; // not usable until connected again
        return result;
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
        if (status != kSensorOk || !device.busFailure.ok())
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
