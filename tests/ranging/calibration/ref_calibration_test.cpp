// Reference (VHV and phase) calibration: its register traffic and read-back of the results.
#include "ranging/calibration/ref_calibration.h"

#include "support/sensor_rig.h"
#include "support/transfer_lines.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Calibrations complete at once, so each wait is a single check of register 0x14.
dlnsim::RangingWorld KnownInstantCalibrations() {
    dlnsim::RangingWorld world;
    world.calibrationTimeUs = 0;
    world.vhvSetting = 0x1D;
    world.phaseCal = 0xFF;
    return world;
}

// The ready bit of register 0x14, then the interrupt clear.
const std::vector<std::string> kWaitAndClear = {"W 29: 14",    "R 29: 01", "W 29: 0b 01",
                                                "W 29: 0b 00", "W 29: 13", "R 29: 00"};

std::vector<std::string> ReadBack(const std::string &index, const std::string &value) {
    return {"W 29: ff 01",    "W 29: 00 00", "W 29: ff 06", "W 29: " + index,
            "R 29: " + value, "W 29: ff 01", "W 29: 00 01", "W 29: ff 00"};
}

TEST(RefCalibration, TrafficOfASuccessfulCalibrationWithReadBack) {
    SensorRig rig(KnownInstantCalibrations());
    rig.device().sequenceConfig = 0xE8;
    uint8_t vhv = 0x55, phase = 0x55;
    ASSERT_EQ(0, VL53L0X_PerformRefCalibration(rig.device(), &vhv, &phase, 1));
    EXPECT_EQ(0x1D, vhv);
    EXPECT_EQ(0xEF, phase) << "bit 4 of the phase result is dropped";
    const auto expected = Concat({{"W 29: 01 01", "W 29: 00 41"},
                                  kWaitAndClear,
                                  {"W 29: 00 00"},
                                  ReadBack("cb", "1d"),
                                  {"W 29: 01 02", "W 29: 00 01"},
                                  kWaitAndClear,
                                  {"W 29: 00 00"},
                                  ReadBack("ee", "ff"),
                                  {"W 29: 01 e8"}});
    EXPECT_EQ(expected, rig.bus.transfers());
    EXPECT_EQ(0xE8, rig.device().sequenceConfig);
}

TEST(RefCalibration, WithoutReadBackTheResultsAreZeroAndPage6IsNotVisited) {
    for (uint8_t readBack : {0, 2}) {
        SensorRig rig(KnownInstantCalibrations());
        rig.device().sequenceConfig = 0xE8;
        uint8_t vhv = 0x55, phase = 0x55;
        ASSERT_EQ(0, VL53L0X_PerformRefCalibration(rig.device(), &vhv, &phase, readBack));
        EXPECT_EQ(0, vhv);
        EXPECT_EQ(0, phase);
        const auto expected = Concat({{"W 29: 01 01", "W 29: 00 41"},
                                      kWaitAndClear,
                                      {"W 29: 00 00"},
                                      {"W 29: 01 02", "W 29: 00 01"},
                                      kWaitAndClear,
                                      {"W 29: 00 00"},
                                      {"W 29: 01 e8"}});
        EXPECT_EQ(expected, rig.bus.transfers()) << "readBack " << int(readBack);
    }
}

TEST(RefCalibration, VhvTimeOutSkipsThePhaseCalibration) {
    dlnsim::RangingWorld world = KnownInstantCalibrations();
    world.calibrationTimeUs = 10'000'000;
    SensorRig rig(world);
    rig.device().sequenceConfig = 0xE8;
    uint8_t vhv = 0x55, phase = 0x55;
    EXPECT_EQ(-7, VL53L0X_PerformRefCalibration(rig.device(), &vhv, &phase, 1));
    EXPECT_EQ(0, vhv);
    EXPECT_EQ(0x55, phase);
    EXPECT_EQ(0, rig.count("W 29: 01 02"));
    EXPECT_EQ(0x01, rig.sensor->reg(0, 0x01)) << "register 0x01 keeps the calibration value";
    EXPECT_EQ(0xE8, rig.device().sequenceConfig);
}

} // namespace
