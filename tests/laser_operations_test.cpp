// Operations 0, 1 and 2 of the laser method in order, through the Java method, against the
// simulated sensor in-process: the range comes back in slots 2 and 3.
#include "dlnsim/models/vl53l0x_sensor.h"
#include "ranging/laser_service.h"
#include "support/captured_stdout.h"
#include "support/fake_jni.h"
#include "support/jni_exports.h"
#include "support/sim_session.h"
#include "support/wait_clock.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstdio>

namespace {

struct LaserCall {
    std::string out;
    std::vector<jint> slots;
};

LaserCall CallLaser(jint code) {
    FakeJni jni;
    std::vector<jint> values(255, 0);
    values[0] = 0x29;
    values[1] = code;
    jintArray array = jni.array(values);
    LaserCall call;
    call.out =
        CaptureStdout([&] { Java_I2C_1DLN_I2C_1LaserMeasurement(jni.env(), nullptr, array); });
    call.slots.assign(jni.values(array).begin(), jni.values(array).begin() + 10);
    return call;
}

struct LaserOperations : ::testing::Test {
    void TearDown() override {
        TheRangingDevice() = RangingDevice{};
        sensorAdapterHandle = 0;
    }
    WaitClock clock;
};

TEST_F(LaserOperations, ConnectCalibrateMeasureReturnsTheRangeInSlotsTwoAndThree) {
    dlnsim::RangingSensor sensor =
        dlnsim::MakeRangingSensor({{"world", {{"distanceMm", 300}, {"noiseMm", 0}}}});
    SimSession session(dlnsim::SimBuilder().i2c(0x29, sensor.device).clock(clock.source()));
    CallLaser(0);
    const LaserCall calibrate = CallLaser(1);
    EXPECT_NE(
        std::string::npos,
        calibrate.out.find("refSpadCount = 3, isApertureSpads = 1\nAPI Status: 0 : No Error\n"))
        << calibrate.out;
    EXPECT_TRUE(
        calibrate.out.ends_with("Call of VL53L0X_SetDeviceMode\nAPI Status: 0 : No Error\n"))
        << calibrate.out;
    EXPECT_EQ(0x00, calibrate.slots[2]) << "operation 1 hands back slot 0";
    EXPECT_EQ(0x29, calibrate.slots[3]);

    const LaserCall measure = CallLaser(2);
    EXPECT_TRUE(measure.out.ends_with("Call of VL53L0X_PerformSingleRangingMeasurement\n"
                                      "API Status: 0 : No Error\n"
                                      "Range Status: 0 : Range Valid\n"
                                      "RANGE IGNORE THRESHOLD: 22.218750\n\n"
                                      "Laser Measuremnet=300  in mm=3.956044\n"
                                      "API Status: 0 : No Error\n"))
        << measure.out;
    EXPECT_EQ(1, measure.slots[2]);
    EXPECT_EQ(44, measure.slots[3]);
}

} // namespace
