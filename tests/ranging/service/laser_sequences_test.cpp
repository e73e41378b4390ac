// Operations 1 and 2 of the laser method: the calibration sequence and one measurement.
#include "ranging/service/laser_sequences.h"

#include "dlnsim/models/vl53l0x_measurement.h"
#include "dlnsim/models/vl53l0x_sensor.h"
#include "support/captured_stdout.h"
#include "support/sensor_rig.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <chrono>
#include <string>
#include <vector>

namespace {

const char *const kOk = "API Status: 0 : No Error\n";

void CalibrateQuietly(RangingDevice &device) {
    SensorStatus status = -1;
    CaptureStdout([&] { status = CalibrateRangingSensor(device); });
    ASSERT_EQ(0, status) << "operation 1 failed";
}

// Each marker must appear in text after the previous one. The 16-bit register reads print
// their bytes between the lines, so the lines are found rather than compared whole.
void ExpectInOrder(const std::string &text, const std::vector<std::string> &markers) {
    size_t at = 0;
    for (size_t i = 0; i < markers.size(); ++i) {
        size_t found = text.find(markers[i], at);
        ASSERT_NE(std::string::npos, found) << "line " << i + 1 << " \"" << markers[i]
                                            << "\" missing after offset " << at << " in:\n"
                                            << text;
        at = found + markers[i].size();
    }
}

TEST(CalibrateRangingSensor, PrintsEveryStepAndEnablesTheLimitChecks) {
    SensorRig rig;
    SensorStatus status = -1;
    const std::string text = CaptureStdout([&] { status = CalibrateRangingSensor(rig.device()); });
    ASSERT_EQ(0, status);
    ExpectInOrder(text,
                  {"Call of VL53L0X_StaticInit\n", kOk, "Call of VL53L0X_PerformRefCalibration\n",
                   kOk, "Call of VL53L0X_PerformRefSpadManagement\n",
                   "refSpadCount = 3, isApertureSpads = 1\n", kOk,
                   "Call of VL53L0X_SetDeviceMode\n", kOk});
    EXPECT_TRUE(text.ends_with("Call of VL53L0X_SetDeviceMode\nAPI Status: 0 : No Error\n"));
    const CurrentParameters &parameters = rig.device().CurrentParameters;
    EXPECT_EQ(1, parameters.limitCheckEnable[0]);
    EXPECT_EQ(1, parameters.limitCheckEnable[1]);
    EXPECT_EQ(1, parameters.limitCheckEnable[3]);
    EXPECT_EQ(2260u, parameters.limitCheckValue[3]);
    EXPECT_EQ(0, parameters.deviceMode);
    EXPECT_EQ(3, rig.device().deviceState);
}

TEST(CalibrateRangingSensor, StopsAtTheFirstFailingStepAfterItsStatusLine) {
    struct Case {
        const char *step;
        dlnsim::RangingWorld world;
        bool interruptStuck;
        std::string lastLines;
        const char *absent;
    };
    dlnsim::RangingWorld slowCalibration;
    slowCalibration.calibrationTimeUs = 10'000'000;
    const Case cases[] = {
        {"static initialisation", dlnsim::RangingWorld{}, true,
         "API Status: -12 : Interrupt not Cleared\n", "Call of VL53L0X_PerformRefCalibration"},
        {"reference calibration", slowCalibration, false,
         "Call of VL53L0X_PerformRefCalibration\nAPI Status: -7 : Time out error\n",
         "Call of VL53L0X_PerformRefSpadManagement"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.step);
        SensorRig rig(c.world);
        if (c.interruptStuck)
            rig.scriptReads(0, 0x13, [](int) { return uint8_t{0x04}; });
        // Keeps the stored SPADs so that static initialisation does not calibrate itself.
        rig.device().nvmReadState = 7;
        rig.device().CurrentParameters.limitCheckValue[3] = 17;
        SensorStatus status = 0;
        const std::string text =
            CaptureStdout([&] { status = CalibrateRangingSensor(rig.device()); });
        EXPECT_NE(0, status);
        EXPECT_TRUE(text.starts_with("Call of VL53L0X_StaticInit\n")) << text;
        EXPECT_TRUE(text.ends_with(c.lastLines)) << text;
        EXPECT_EQ(std::string::npos, text.find(c.absent)) << text;
        EXPECT_EQ(0, rig.device().CurrentParameters.limitCheckEnable[3]);
        EXPECT_EQ(17u, rig.device().CurrentParameters.limitCheckValue[3]);
    }
}

TEST(MeasureRange, PrintsStatusRangeStatusAndSignalRate) {
    SensorRig rig({.path = {{0, 1000.0}}, .noiseMm = 0});
    CalibrateQuietly(rig.device());
    CalibrateQuietly(rig.device()); // a repeated operation 1 starts over on the same record
    uint16_t range = 0;
    const std::string text = CaptureStdout([&] { range = MeasureRange(rig.device()); });
    EXPECT_EQ(1000, range);
    // 2.0 MCPS from a white target at 1 m.
    EXPECT_EQ("Call of VL53L0X_PerformSingleRangingMeasurement\n"
              "API Status: 0 : No Error\n"
              "Range Status: 0 : Range Valid\n"
              "RANGE IGNORE THRESHOLD: 2.000000\n\n",
              text);
}

TEST(MeasureRange, FarOrDarkTargetsGiveASignalFailure) {
    dlnsim::RangingWorld far;
    far.path = {{0, 3000.0}};
    dlnsim::RangingWorld dark;
    dark.path = {{0, 800.0}};
    dark.reflectance = 0.05;
    for (const dlnsim::RangingWorld &world : {far, dark}) {
        SensorRig rig(world);
        CalibrateQuietly(rig.device());
        const std::string text = CaptureStdout([&] { MeasureRange(rig.device()); });
        EXPECT_NE(std::string::npos, text.find("Range Status: 2 : Signal Fail\n")) << text;
    }
}

TEST(MeasureRange, FailedStartReportsNoUpdateAndRangeZero) {
    SensorRig rig;
    rig.device().lastResult.signalRateReturn = 0x18000;
    rig.scriptReads(0, 0x00, [](int) { return uint8_t{0x01}; });
    uint16_t range = 1;
    const std::string text = CaptureStdout([&] { range = MeasureRange(rig.device()); });
    EXPECT_EQ(0, range);
    EXPECT_EQ("Call of VL53L0X_PerformSingleRangingMeasurement\n"
              "API Status: -7 : Time out error\n"
              "Range Status: 255 : No Update\n"
              "RANGE IGNORE THRESHOLD: 1.500000\n\n",
              text);
}

TEST(MeasureRange, FollowsAMovingTarget) {
    // 200 mm at 0 s to 1200 mm at 1 s: one measurement every ~34 ms of simulated time.
    SensorRig rig({.path = {{0, 200.0}, {1'000'000, 1200.0}}, .noiseMm = 0});
    CalibrateQuietly(rig.device());
    for (int i = 0; i < 5; ++i) {
        const uint64_t before = rig.clock.nowUs();
        uint16_t range = 0;
        CaptureStdout([&] { range = MeasureRange(rig.device()); });
        const double expected = 200.0 + rig.clock.nowUs() / 1000.0;
        EXPECT_NEAR(expected, range, 1.0 + (rig.clock.nowUs() - before) / 1000.0) << i;
        rig.clock.advanceUs(100'000);
    }
}

// The one test of real time: against the steady clock a measurement takes about as long as
// the sensor measures. The fastest of three bears the upper bound, which a load spike would
// otherwise break; each one bears the lower.
TEST(MeasureRange, TakesTheMeasurementTimeAndLittleMore) {
    dlnsim::RangingSensor sensor = dlnsim::MakeRangingSensor(nlohmann::json::object());
    SensorBus bus(sensor.device);
    CalibrateQuietly(bus.device);
    const auto measurementTime =
        std::chrono::microseconds(dlnsim::MeasurementTimeUs(*sensor.device));
    auto fastest = std::chrono::steady_clock::duration::max();
    for (int i = 0; i < 3; ++i) {
        CaptureStdout([&] {
            const auto start = std::chrono::steady_clock::now();
            MeasureRange(bus.device);
            const auto took = std::chrono::steady_clock::now() - start;
            EXPECT_GE(took, measurementTime) << i;
            fastest = std::min(fastest, took);
        });
    }
    EXPECT_LE(fastest, measurementTime + std::chrono::milliseconds(20));
}

} // namespace
