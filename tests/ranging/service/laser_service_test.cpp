// The laser method against the in-process simulator: operation 0 end to end, the other codes,
// the connection kept for the sensor, and operations 0, 1 and 2 in order handing back a range.
#include "dlnsim/models/vl53l0x.h"
#include "dlnsim/models/vl53l0x_sensor.h"
#include "ranging/service/laser_sensor.h"
#include "ranging/service/laser_service.h"
#include "support/captured_stdout.h"
#include "support/fake_jni.h"
#include "support/jni_exports.h"
#include "support/printed_lines.h"
#include "support/recorded_waits.h"
#include "support/sensor_bus.h"
#include "support/sim_session.h"
#include "support/wait_clock.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>

namespace {

const std::string kHeader = "LLLLLLLAAAAAAAAASSSSSSSSSSSSSEEEEERRRRRRRRR\n";
const std::string kAdapter = "Connecting to DLN Devices\n" + kAdapterInfo;
const std::string kPorts = "0\n  count=1\nfreq= 100000\nI2C Enabled\n";
const std::string kIds = "IDs\neeaa1099\nEnd IDs\n";
const std::string kStart = "Start Test Ranging +++++++++++++++++++++++++++++++++++++++++++\n";

struct LaserCall {
    std::string out;
    std::vector<jint> slots; // the first 12 slots of the Java array afterwards
    jint result = 0;
};

LaserCall CallLaser(jint address, jint code) {
    FakeJni jni;
    std::vector<jint> values(255, -3);
    values[0] = address;
    values[1] = code;
    jintArray array = jni.array(values);
    LaserCall call;
    call.out = CaptureStdout(
        [&] { call.result = Java_I2C_1DLN_I2C_1LaserMeasurement(jni.env(), nullptr, array); });
    call.slots.assign(jni.values(array).begin(), jni.values(array).begin() + 12);
    return call;
}

struct LaserService : ::testing::Test {
    void TearDown() override { TheLaserSensor().forget(); }
    RecordedWaits waits;
};

TEST_F(LaserService, OperationZeroConnectsListsIdentifiesAndResetsTheSensor) {
    auto sensor = std::make_shared<dlnsim::Vl53l0x>();
    SimSession session(
        dlnsim::SimBuilder().i2c(0x29, sensor).i2c(0x50, std::make_shared<dlnsim::Vl53l0x>()));
    LaserCall call = CallLaser(0x1234, 0);

    EXPECT_EQ(call.result, 10);
    EXPECT_EQ(call.out, kHeader + "Laser Operation for I2C Address:1234 is: 0\n" + kAdapter +
                            kPorts + "Number of Devices: 2\n41 29\n80 50\n" + kIds);
    // Slots 2 and 3 carry the bytes of slot 0; the rest of the first ten come back unchanged.
    EXPECT_EQ(call.slots,
              (std::vector<jint>{0x1234, 0, 0x12, 0x34, -3, -3, -3, -3, -3, -3, -3, -3}));

    const std::vector<std::string> expected = {
        "W 29: c0",    "R 29: ee aa 10 99", // identification
        "W 29: bf 00", "W 29: c0",          "R 29: 00",
        "W 29: bf 01", "W 29: c0",          "R 29: ee", // reset
        "W 29: 80 01", "W 29: ff 01",       "W 29: 00 00",
        "W 29: 91",    "R 29: 3c", // stop variable
        "W 29: 00 01", "W 29: ff 00",       "W 29: 80 00"};
    EXPECT_EQ(SensorTransfers(session.sim()), expected);
    EXPECT_EQ(waits.waits(), (std::vector<uint32_t>{1, 1}));
    EXPECT_EQ(TheLaserSensor().record().busAddress, 0x52);
    EXPECT_EQ(TheLaserSensor().record().stopVariable, 0x3C);
    EXPECT_NE(TheLaserSensor().record().adapterHandle, 0);
}

TEST_F(LaserService, ConnectionFailuresEndOperationZeroBeforeTheSensorIsTouched) {
    dlnsim::AdapterConfig noPorts;
    noPorts.i2cPortCount = 0;
    const struct {
        const char *name;
        dlnsim::SimBuilder builder;
        std::string tail;
        bool handleKept;
    } cases[] = {
        {"port count fails", dlnsim::SimBuilder().fault({"DlnI2cMasterGetPortCount", 0x4F, 0}),
         "DlnI2cMasterGetPortCount() function returns 0x4F\nDlnI2cMasterGetPortCount() failed\n",
         true},
        {"no I2C ports", dlnsim::SimBuilder().adapter(noPorts),
         "Current DLN adapter has no I2C ports\n", true},
        {"open fails", dlnsim::SimBuilder().fault({"DlnOpenDevice", 0x4F, 0}),
         "Failed to open device\n", false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        auto sensor = std::make_shared<dlnsim::Vl53l0x>();
        dlnsim::SimBuilder builder = c.builder;
        SimSession session(builder.i2c(0x29, sensor));
        LaserCall call = CallLaser(0x29, 0);
        std::string head = kHeader + "Laser Operation for I2C Address:29 is: 0\n";
        EXPECT_EQ(call.out, head + (c.handleKept ? kAdapter + c.tail
                                                 : "Connecting to DLN Devices\n" + c.tail));
        EXPECT_EQ(call.slots[2], 0);
        EXPECT_EQ(call.slots[3], 0x29);
        EXPECT_TRUE(SensorTransfers(session.sim()).empty());
        EXPECT_EQ(TheLaserSensor().record().adapterHandle != 0, c.handleKept);
        EXPECT_EQ(TheLaserSensor().record().busAddress, 0);
    }
}

TEST_F(LaserService, WithoutAServerOnlyTheConnectFailureIsPrinted) {
    DlnInprocDetach();
    LaserCall call = CallLaser(0x29, 0);
    EXPECT_EQ(call.out, kHeader +
                            "Laser Operation for I2C Address:29 is: 0\n"
                            "Connecting to DLN Devices\nFailed to connect to local DLN server\n");
    EXPECT_EQ(TheLaserSensor().record().adapterHandle, 0);
}

TEST_F(LaserService, CodesWithoutAnOperationIdentifyTheSensorAndReportUnknown) {
    auto sensor = std::make_shared<dlnsim::Vl53l0x>();
    SimSession session(dlnsim::SimBuilder().i2c(0x29, sensor));
    CallLaser(0x29, 0);
    session.sim().clearTrace();
    for (jint code : {5, -1, 3}) {
        LaserCall call = CallLaser(0x1FF, code);
        EXPECT_EQ(call.out, kHeader +
                                "Laser Operation for I2C Address:1ff is: " + std::to_string(code) +
                                "\n" + kIds + kStart + "Laser Operation UNKOWN\n");
        EXPECT_EQ(call.result, 10);
        EXPECT_EQ(call.slots[2], 1);
        EXPECT_EQ(call.slots[3], 0xFF);
    }
    // Only the identification went to the sensor, at 0x29 whatever slot 0 said.
    EXPECT_EQ(SensorTransfers(session.sim()).size(), 6u);
}

TEST_F(LaserService, RepeatedOperationZeroReleasesTheEarlierConnection) {
    auto sensor = std::make_shared<dlnsim::Vl53l0x>();
    SimSession session(dlnsim::SimBuilder().i2c(0x29, sensor));
    CallLaser(0x29, 0);
    const HDLN first = TheLaserSensor().record().adapterHandle;
    CallLaser(0x29, 0);
    const HDLN second = TheLaserSensor().record().adapterHandle;
    ASSERT_NE(second, 0);
    EXPECT_NE(first, second);
    DLN_VERSION version{};
    EXPECT_FALSE(DLN_SUCCEEDED(DlnGetVersion(first, &version)));
    EXPECT_TRUE(DLN_SUCCEEDED(DlnGetVersion(second, &version)));
    // A stopping-form call connects and disconnects around the kept connection...
    FakeJni jni;
    std::vector<jint> values(255, 0);
    values[0] = 0x29;
    values[1] = 1;
    CaptureStdout([&] { Java_I2C_1DLN_read(jni.env(), nullptr, jni.array(values)); });
    EXPECT_TRUE(DLN_SUCCEEDED(DlnGetVersion(second, &version)));
    // ...and exactly one connection is left: the first operation 0 released its own.
    DlnDisconnect("localhost", 9656);
    EXPECT_FALSE(DLN_SUCCEEDED(DlnGetVersion(second, &version)));
}

struct LaserSequence : ::testing::Test {
    void TearDown() override { TheLaserSensor().forget(); }
    WaitClock clock;
};

TEST_F(LaserSequence, ConnectCalibrateMeasureReturnsTheRangeInSlotsTwoAndThree) {
    dlnsim::RangingSensor sensor =
        dlnsim::MakeRangingSensor({{"world", {{"distanceMm", 300}, {"noiseMm", 0}}}});
    SimSession session(dlnsim::SimBuilder().i2c(0x29, sensor.device).clock(clock.source()));
    CallLaser(0x29, 0);
    const LaserCall calibrate = CallLaser(0x29, 1);
    EXPECT_NE(
        std::string::npos,
        calibrate.out.find("refSpadCount = 3, isApertureSpads = 1\nAPI Status: 0 : No Error\n"))
        << calibrate.out;
    EXPECT_TRUE(
        calibrate.out.ends_with("Call of VL53L0X_SetDeviceMode\nAPI Status: 0 : No Error\n"))
        << calibrate.out;
    EXPECT_EQ(0x00, calibrate.slots[2]) << "operation 1 hands back slot 0";
    EXPECT_EQ(0x29, calibrate.slots[3]);

    const LaserCall measure = CallLaser(0x29, 2);
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

TEST(LaserRange, TheRangeIsReportedScaledAndHandedBackUnscaled) {
    const struct {
        uint16_t range;
        const char *scaled;
    } cases[] = {{9100, "120.000000"}, {300, "3.956044"}, {8190, "108.000000"}, {0, "0.000000"}};
    for (const auto &c : cases) {
        int32_t word = -1;
        std::string out =
            CaptureStdout([&] { ReportLaserRange(kPrintingReporter, c.range, &word); });
        EXPECT_EQ(out, "Laser Measuremnet=" + std::to_string(c.range) + "  in mm=" + c.scaled +
                           "\nAPI Status: 0 : No Error\n");
        EXPECT_EQ(word, c.range);
    }
}

} // namespace
