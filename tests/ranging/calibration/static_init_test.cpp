// Static initialisation against the simulated sensor with the default tuning table.
#include "ranging/calibration/static_init.h"

#include "support/captured_stdout.h"
#include "support/sensor_rig.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

// The record as the non-volatile memory would leave it, without reading it again.
void StoredSpads(RangingDevice &device, uint8_t aperture, uint8_t count) {
    device.nvmReadState = 7;
    device.isApertureSpads = aperture;
    device.refSpadCount = count;
    std::memset(device.goodSpadMap, 0xFF, sizeof device.goodSpadMap);
}

TEST(StaticInit, LeavesTheRecordReadyForRanging) {
    SensorRig rig;
    rig.sensor->setReg(0, 0x84, 0x11);
    StoredSpads(rig.device(), 1, 3);
    SensorStatus status = 0;
    CaptureStdout([&] { status = VL53L0X_StaticInit(rig.device()); });
    ASSERT_EQ(0, status);
    const RangingDevice &device = rig.device();
    EXPECT_EQ(3, device.deviceState);
    EXPECT_EQ(4, device.gpioInterruptMode);
    EXPECT_EQ(0x04, rig.sensor->reg(0, 0x0A));
    EXPECT_EQ(0x01, rig.sensor->reg(0, 0x84)) << "bit 4 cleared";
    EXPECT_EQ(0xE8, device.sequenceConfig) << "TCC and MSRC off";
    EXPECT_EQ(0xE8, rig.sensor->reg(0, 0x01));
    EXPECT_EQ(14, device.preRangeVcselPeriod);
    EXPECT_EQ(10, device.finalRangeVcselPeriod);
    // The tuning table's timeouts: 151 pre-range MCLKs; the budget of 33849 us re-applied
    // without TCC asks for 427 final-range MCLKs, written as 0x0290 = 577 MCLKs in all, which
    // reads back as 426 final-range MCLKs.
    EXPECT_EQ(0x02, rig.sensor->reg(0, 0x71));
    EXPECT_EQ(0x90, rig.sensor->reg(0, 0x72));
    EXPECT_EQ(8061u, device.preRangeTimeoutUs);
    EXPECT_EQ(16244u, device.finalRangeTimeoutUs); // 426 x 38131 ns
    EXPECT_EQ(33849u, device.CurrentParameters.measurementTimingBudgetUs);
    EXPECT_EQ(0, device.rangeFractionalEnable);
    EXPECT_EQ(0, device.CurrentParameters.xtalkCompensationEnable);
    EXPECT_EQ(1, device.CurrentParameters.limitCheckEnable[1]) << "register 0x44 is non-zero";
    EXPECT_EQ(0x20u << 9, device.CurrentParameters.limitCheckValue[1]);
}

TEST(StaticInit, ImplausibleStoredSpadsAreSearchedAnew) {
    struct Case {
        uint8_t aperture, count;
        bool searched;
    };
    for (const Case &c : {Case{0, 12, false}, Case{0, 13, true}, Case{1, 32, false},
                          Case{1, 33, true}, Case{2, 1, true}}) {
        SensorRig rig;
        StoredSpads(rig.device(), c.aperture, c.count);
        SensorStatus status = 0;
        CaptureStdout([&] { status = VL53L0X_StaticInit(rig.device()); });
        SCOPED_TRACE("type " + std::to_string(c.aperture) + " count " + std::to_string(c.count));
        EXPECT_EQ(c.searched, rig.count("W 29: 00 41") > 0) << "the search runs a VHV calibration";
        EXPECT_EQ(0, status);
        EXPECT_EQ(c.searched ? 3 : c.count, rig.device().refSpadCount);
    }
}

TEST(StaticInit, StopsAtAnInterruptThatDoesNotClear) {
    SensorRig rig;
    StoredSpads(rig.device(), 1, 3);
    rig.scriptReads(0, 0x13, [](int) { return uint8_t{0x04}; });
    SensorStatus status = 0;
    CaptureStdout([&] { status = VL53L0X_StaticInit(rig.device()); });
    EXPECT_EQ(-12, status);
    EXPECT_EQ(4, rig.device().gpioInterruptMode);
    EXPECT_EQ(0, rig.device().deviceState);
    EXPECT_EQ(0, rig.count("W 29: 01")) << "no parameter read-back after the failure";
}

// The last steps read each VCSEL period once: the pre-range timeout is converted with the
// period just read, and only the final-range period is read again for the final range.
TEST(StaticInit, EndsWithThePeriodsThenTheTwoTimeouts) {
    SensorRig rig;
    StoredSpads(rig.device(), 1, 3);
    SensorStatus status = 0;
    CaptureStdout([&] { status = VL53L0X_StaticInit(rig.device()); });
    ASSERT_EQ(0, status);
    const std::vector<std::string> expected = {
        "W 29: 50", "R 29: 06",    "W 29: 70", "R 29: 04",    // the two VCSEL periods
        "W 29: 51", "R 29: 00 96",                            // pre-range timeout
        "W 29: 01", "R 29: e8",    "W 29: 51", "R 29: 00 96", // final range: its pre-range share
        "W 29: 70", "R 29: 04",    "W 29: 71", "R 29: 02 90"};
    const std::vector<std::string> transfers = rig.bus.transfers();
    ASSERT_GE(transfers.size(), expected.size());
    EXPECT_EQ(expected,
              std::vector<std::string>(transfers.end() - expected.size(), transfers.end()));
}

} // namespace
