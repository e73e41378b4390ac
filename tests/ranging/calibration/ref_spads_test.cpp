// Reference SPADs: the map helpers, applying the stored selection, and the search for the set
// whose reference rate lies nearest the target. The simulated sensor adds 0x100 to the rate
// for each non-aperture SPAD (0-11) and 0x20 for each aperture SPAD (12-47).
#include "ranging/calibration/ref_spad_management.h"
#include "ranging/calibration/ref_spads.h"

#include "support/captured_stdout.h"
#include "support/sensor_rig.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <string>
#include <vector>

namespace {

using SpadMap = std::array<uint8_t, 6>;

SpadMap MapOf(std::initializer_list<int> spads) {
    SpadMap map{};
    for (int spad : spads)
        map[spad / 8] = static_cast<uint8_t>(map[spad / 8] | 1 << (spad % 8));
    return map;
}

SpadMap AllGood() {
    return {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
}

SpadMap SensorMap(SensorRig &rig) {
    SpadMap map;
    for (int i = 0; i < 6; ++i)
        map[i] = rig.sensor->reg(0, static_cast<uint8_t>(0xB0 + i));
    return map;
}

SpadMap RecordMap(const RangingDevice &device) {
    SpadMap map;
    std::memcpy(map.data(), device.refSpadEnables, 6);
    return map;
}

dlnsim::RangingWorld InstantCalibrations() {
    dlnsim::RangingWorld world;
    world.calibrationTimeUs = 0;
    return world;
}

TEST(RefSpads, FindNextGoodSpadAndApertureBoundaries) {
    struct Case {
        SpadMap map;
        int32_t start, found;
    };
    const Case cases[] = {{MapOf({47}), 47, 47}, {MapOf({47}), 48, -1},   {MapOf({5, 9}), 0, 5},
                          {MapOf({5, 9}), 6, 9}, {MapOf({5, 9}), 10, -1}, {SpadMap{}, 0, -1}};
    for (const Case &c : cases)
        EXPECT_EQ(c.found, VL53L0X_FindNextGoodSpad(c.map.data(), c.start)) << "start " << c.start;
    EXPECT_FALSE(IsApertureSpad(0));
    EXPECT_FALSE(IsApertureSpad(11));
    EXPECT_TRUE(IsApertureSpad(12));
    EXPECT_TRUE(IsApertureSpad(47));
}

TEST(RefSpads, EnableRefusesTooFewGoodSpadsOfTheTypeWithoutBusTraffic) {
    SensorRig rig;
    const SpadMap good = MapOf({0, 1, 12});
    SpadMap enables{};
    int32_t last = -5;
    EXPECT_EQ(-50,
              VL53L0X_EnableRefSpads(rig.device(), 0, good.data(), enables.data(), 0, 3, &last));
    EXPECT_EQ(2, last) << "the search stopped after SPAD 1";
    EXPECT_TRUE(rig.bus.transfers().empty());
}

TEST(RefSpads, EnableReportsAMapThatDoesNotReadBack) {
    SensorRig rig;
    rig.scriptReads(0, 0xB0, [](int) { return uint8_t{0xFF}; });
    const SpadMap good = AllGood();
    SpadMap enables{};
    int32_t last = 0;
    EXPECT_EQ(-50,
              VL53L0X_EnableRefSpads(rig.device(), 0, good.data(), enables.data(), 0, 3, &last));
    EXPECT_EQ(3, last);
}

TEST(RefSpads, StoredSelectionStartsAtTheFirstSpadOfItsType) {
    struct Case {
        uint8_t aperture;
        SpadMap expected;
    };
    for (const Case &c : {Case{0, MapOf({0, 1, 2})}, Case{1, MapOf({12, 13, 14})}}) {
        SensorRig rig;
        std::memcpy(rig.device().goodSpadMap, AllGood().data(), 6);
        ASSERT_EQ(0, VL53L0X_ApplyRefSpadsFromNvm(rig.device(), 3, c.aperture));
        EXPECT_EQ(c.expected, RecordMap(rig.device()));
        EXPECT_EQ(c.expected, SensorMap(rig));
        EXPECT_EQ(3, rig.device().refSpadCount);
        EXPECT_EQ(c.aperture, rig.device().isApertureSpads);
        const auto transfers = rig.bus.transfers();
        const std::vector<std::string> preamble = {"W 29: ff 01", "W 29: 4f 00", "W 29: 4e 2c",
                                                   "W 29: ff 00", "W 29: b6 b4"};
        EXPECT_EQ(preamble, std::vector<std::string>(transfers.begin(), transfers.begin() + 5));
    }
}

TEST(RefSpadManagement, SearchPathsEndNearestTheTarget) {
    struct Case {
        const char *path;
        uint16_t target;
        SpadMap good;
        uint32_t count;
        uint8_t aperture;
        SpadMap enabled;
    };
    const Case cases[] = {
        {"target 0: any signal is too much, three aperture SPADs", 0, AllGood(), 3, 1,
         MapOf({12, 13, 14})},
        {"both first rates above the target", 0x50, AllGood(), 3, 1, MapOf({12, 13, 14})},
        {"aperture rate exactly on the target", 0x60, AllGood(), 3, 1, MapOf({12, 13, 14})},
        {"non-aperture rate exactly on the target", 0x300, AllGood(), 3, 0, MapOf({0, 1, 2})},
        {"next good SPAD is of the other type", 0x400, MapOf({0, 1, 2, 12, 13}), 3, 0,
         MapOf({0, 1, 2})},
        {"passing nearer keeps the last SPAD", 0x4A0, AllGood(), 5, 0, MapOf({0, 1, 2, 3, 4})},
        {"passing farther steps back", 0x440, AllGood(), 4, 0, MapOf({0, 1, 2, 3})},
        {"passing as near keeps the last SPAD", 0x480, AllGood(), 5, 0, MapOf({0, 1, 2, 3, 4})},
        {"aperture SPADs added one at a time", 0x70, AllGood(), 4, 1, MapOf({12, 13, 14, 15})},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.path);
        SensorRig rig(InstantCalibrations());
        RangingDevice &device = rig.device();
        std::memcpy(device.goodSpadMap, c.good.data(), 6);
        device.targetRefRate = c.target;
        device.sequenceConfig = 0xE8;
        rig.sensor->setReg(0, 0x01, 0xE8);
        uint32_t count = 99;
        uint8_t aperture = 99;
        SensorStatus status = 0;
        // The 16-bit reads print their bytes.
        CaptureStdout(
            [&] { status = VL53L0X_PerformRefSpadManagement(device, &count, &aperture); });
        ASSERT_EQ(0, status);
        EXPECT_EQ(c.count, count);
        EXPECT_EQ(c.aperture, aperture);
        EXPECT_EQ(c.count, device.refSpadCount);
        EXPECT_EQ(c.aperture, device.isApertureSpads);
        EXPECT_EQ(c.enabled, RecordMap(device));
        EXPECT_EQ(c.enabled, SensorMap(rig)) << "the sensor uses what the record says";
        EXPECT_EQ(0xE8, rig.sensor->reg(0, 0x01));
        EXPECT_EQ(0xE8, device.sequenceConfig);
        EXPECT_EQ(3, device.deviceState);
    }
}

TEST(RefSpadManagement, RunningOutOfGoodSpadsReportsNothing) {
    struct Case {
        const char *path;
        SpadMap good;
    };
    for (const Case &c : {Case{"fewer than three non-aperture SPADs", MapOf({0, 1, 12, 13, 14})},
                          Case{"no good SPAD left below the target", MapOf({0, 1, 2, 3})}}) {
        SCOPED_TRACE(c.path);
        SensorRig rig(InstantCalibrations());
        std::memcpy(rig.device().goodSpadMap, c.good.data(), 6);
        rig.device().targetRefRate = 0x1000;
        rig.device().refSpadCount = 7;
        uint32_t count = 99;
        uint8_t aperture = 99;
        SensorStatus status = 0;
        CaptureStdout(
            [&] { status = VL53L0X_PerformRefSpadManagement(rig.device(), &count, &aperture); });
        EXPECT_EQ(-50, status);
        EXPECT_EQ(99u, count);
        EXPECT_EQ(99, aperture);
        EXPECT_EQ(7, rig.device().refSpadCount);
    }
}

} // namespace
