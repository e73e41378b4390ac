#include "dlnsim/models/option_error.h"
#include "dlnsim/models/vl53l0x.h"
#include "dlnsim/models/vl53l0x_nvm.h"
#include "dlnsim/scenario.h"
#include "ranging/bus/registers.h"
#include "ranging/calibration/nvm_spad_info.h"
#include "support/recorded_waits.h"
#include "support/sensor_bus.h"
#include "support/transfer_lines.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <array>
#include <string>
#include <vector>

namespace {

using Transfers = std::vector<std::string>;
using SpadMap = std::array<uint8_t, kSpadMapSize>;

SpadMap MapOf(const RangingDevice &device) {
    SpadMap map;
    std::copy(device.goodSpadMap, device.goodSpadMap + kSpadMapSize, map.begin());
    return map;
}

struct NvmSensor {
    std::shared_ptr<dlnsim::Vl53l0x> sensor = std::make_shared<dlnsim::Vl53l0x>();
    explicit NvmSensor(const dlnsim::Vl53l0xNvmContents &contents) {
        dlnsim::AddVl53l0xNvm(*sensor, contents);
    }
};

struct NvmRead : NvmSensor, SensorBus {
    RecordedWaits waits;
    explicit NvmRead(const dlnsim::Vl53l0xNvmContents &contents = {})
        : NvmSensor(contents), SensorBus(sensor) {}
};

const Transfers kOpenWindow = {"W 29: 80 01", "W 29: ff 01", "W 29: 00 00", "W 29: ff 06",
                               "W 29: 83",    "R 29: 00",    "W 29: 83 04", "W 29: ff 07",
                               "W 29: 81 01", "W 29: 80 01"};
const Transfers kCloseWindow = {"W 29: 81 00", "W 29: ff 06", "W 29: 83",
                                "R 29: 04",    "W 29: 83 00", "W 29: ff 01",
                                "W 29: 00 01", "W 29: ff 00", "W 29: 80 00"};

Transfers WordRead(const char *address, const char *word) {
    return {std::string("W 29: 94 ") + address,
            "W 29: 83 00",
            "W 29: 83",
            "R 29: 01",
            "W 29: 83 01",
            "W 29: 90",
            std::string("R 29: ") + word};
}

TEST(NvmSpadInfo, ReadsCountTypeAndMapThroughTheWindow) {
    NvmRead bus({.refSpadCount = 3,
                 .apertureSpads = true,
                 .goodSpadMap = {0x11, 0x22, 0x33, 0x44, 0x55, 0x66},
                 .words = {{0x25, 0x556677EE}}});
    EXPECT_EQ(VL53L0X_ReadNvmSpadInfo(bus.device), kSensorOk);
    EXPECT_EQ(bus.device.refSpadCount, 3);
    EXPECT_EQ(bus.device.isApertureSpads, 1);
    EXPECT_EQ(MapOf(bus.device), (SpadMap{0x11, 0x22, 0x33, 0x44, 0x55, 0x66}));
    EXPECT_EQ(bus.device.nvmReadState, 1);
    EXPECT_EQ(bus.transfers(),
              Concat({kOpenWindow, WordRead("6b", "00 00 83 00"), WordRead("24", "11 22 33 44"),
                      WordRead("25", "55 66 77 ee"), kCloseWindow}));
    EXPECT_EQ(bus.waits.waits(), (std::vector<uint32_t>{1}));
}

TEST(NvmSpadInfo, CountAndTypeComeFromBitsEightToFifteenOnly) {
    const struct {
        uint32_t word;
        uint8_t count;
        uint8_t aperture;
    } cases[] = {{0x00008300, 3, 1},
                 {0x00000C00, 12, 0},
                 {0xABCD83EF, 3, 1},
                 {0xFFFF0CFF, 12, 0},
                 {0x00007F00, 127, 0}};
    for (const auto &c : cases) {
        NvmRead bus({.words = {{0x6B, c.word}}});
        EXPECT_EQ(VL53L0X_ReadNvmSpadInfo(bus.device), kSensorOk);
        EXPECT_EQ(bus.device.refSpadCount, c.count) << std::hex << c.word;
        EXPECT_EQ(bus.device.isApertureSpads, c.aperture) << std::hex << c.word;
    }
}

TEST(NvmSpadInfo, ASlowMemoryIsWaitedFor) {
    NvmRead bus({.refSpadCount = 9, .apertureSpads = false, .words = {}, .busyPolls = 1999});
    EXPECT_EQ(VL53L0X_ReadNvmSpadInfo(bus.device), kSensorOk);
    EXPECT_EQ(bus.device.refSpadCount, 9);
    EXPECT_EQ(bus.device.isApertureSpads, 0);
}

TEST(NvmSpadInfo, AMemoryThatNeverAnswersTimesOutAndStoresNothing) {
    NvmRead bus({.refSpadCount = 9, .words = {}, .neverReady = true});
    bus.device.refSpadCount = 4;
    bus.device.goodSpadMap[0] = 0xA5;
    EXPECT_EQ(VL53L0X_ReadNvmSpadInfo(bus.device), kSensorTimeOut);
    EXPECT_EQ(bus.device.refSpadCount, 4);
    EXPECT_EQ(bus.device.goodSpadMap[0], 0xA5);
    EXPECT_EQ(bus.device.nvmReadState, 0);

    const Transfers t = bus.transfers();
    // Each of the three words: the full 2000 polls, then the strobe is set back to 1.
    EXPECT_EQ(std::count(t.begin(), t.end(), "W 29: 83"), 3 * 2000 + 2);
    EXPECT_EQ(std::count(t.begin(), t.end(), "W 29: 83 01"), 3);
    EXPECT_EQ(std::count(t.begin(), t.end(), "W 29: 90"), 3);
    EXPECT_TRUE(std::equal(kCloseWindow.begin(), kCloseWindow.end(), t.end() - 9));
    EXPECT_EQ(bus.waits.waits(), (std::vector<uint32_t>{1})); // the polls do not wait

    // The next call reads again.
    bus.device.nvmReadState = 0;
    bus.clear();
    EXPECT_EQ(VL53L0X_ReadNvmSpadInfo(bus.device), kSensorTimeOut);
    const Transfers again = bus.transfers();
    EXPECT_EQ(std::count(again.begin(), again.end(), "W 29: 90"), 3);
}

TEST(NvmSpadInfo, AnInformationAlreadyReadOnlyOpensAndClosesTheWindow) {
    NvmRead bus;
    bus.device.nvmReadState = 1;
    bus.device.refSpadCount = 4;
    EXPECT_EQ(VL53L0X_ReadNvmSpadInfo(bus.device), kSensorOk);
    EXPECT_EQ(bus.transfers(), Concat({kOpenWindow, kCloseWindow}));
    EXPECT_EQ(bus.device.refSpadCount, 4);
    EXPECT_EQ(bus.device.nvmReadState, 1);
}

TEST(NvmSpadInfo, NothingMoreToReadMeansNoTrafficAtAll) {
    NvmRead bus;
    bus.device.nvmReadState = 7;
    EXPECT_EQ(VL53L0X_ReadNvmSpadInfo(bus.device), kSensorOk);
    EXPECT_TRUE(bus.transfers().empty());
    EXPECT_TRUE(bus.waits.waits().empty());
    EXPECT_EQ(bus.device.nvmReadState, 7);
}

TEST(SimulatedSensorNvm, AStrobeWithTheWindowClosedFetchesNothing) {
    NvmRead bus;
    EXPECT_EQ(VL53L0X_WriteReg8(bus.device, 0xFF, 0x07), kSensorOk);
    EXPECT_EQ(VL53L0X_WaitNvmReady(bus.device), kSensorTimeOut);
}

TEST(SimulatedSensorNvm, ScenarioOptionsGiveTheSpadInformation) {
    const char *scenario = R"({"i2c": [{"address": "0x29", "model": "vl53l0x",
        "refSpadCount": 7, "apertureSpads": false, "goodSpadMap": [1, 2, 3, "0x04", 5, 255]}]})";
    const auto sensor = dlnsim::LoadScenario(scenario, "spads.json").build()->i2cDevice(0x29);
    SensorBus bus{sensor};
    RecordedWaits waits;
    EXPECT_EQ(VL53L0X_ReadNvmSpadInfo(bus.device), kSensorOk);
    EXPECT_EQ(bus.device.refSpadCount, 7);
    EXPECT_EQ(bus.device.isApertureSpads, 0);
    EXPECT_EQ(MapOf(bus.device), (SpadMap{1, 2, 3, 4, 5, 255}));
}

TEST(SimulatedSensorNvm, AScenarioWithABadSpadOptionNamesIt) {
    const char *scenario = R"({"i2c": [{"address": "0x29", "model": "vl53l0x",
        "refSpadCount": 128}]})";
    try {
        dlnsim::LoadScenario(scenario, "spads.json");
        ADD_FAILURE() << "the scenario was accepted";
    } catch (const dlnsim::ScenarioError &e) {
        EXPECT_NE(std::string(e.what()).find("refSpadCount"), std::string::npos) << e.what();
    }
}

TEST(SimulatedSensorNvm, OptionsDefaultAndOverride) {
    const dlnsim::Vl53l0xNvmContents defaults = dlnsim::Vl53l0xNvmFromOptions(nullptr);
    EXPECT_EQ(dlnsim::Vl53l0xNvmWord(defaults, 0x6B), 0x8500u); // 5 aperture SPADs
    EXPECT_EQ(dlnsim::Vl53l0xNvmWord(defaults, 0x24), 0xFFFFFFFFu);
    EXPECT_EQ(dlnsim::Vl53l0xNvmWord(defaults, 0x25), 0xFFFF0000u);
    EXPECT_EQ(dlnsim::Vl53l0xNvmWord(defaults, 0x10), 0u);

    const auto contents = dlnsim::Vl53l0xNvmFromOptions(nlohmann::json::parse(
        R"({"nvmWords": {"0x6B": "0x12345678", "16": 9}, "nvmBusyPolls": 3, "nvmNeverReady": true})"));
    EXPECT_EQ(dlnsim::Vl53l0xNvmWord(contents, 0x6B), 0x12345678u);
    EXPECT_EQ(dlnsim::Vl53l0xNvmWord(contents, 0x10), 9u);
    EXPECT_EQ(contents.busyPolls, 3u);
    EXPECT_TRUE(contents.neverReady);
}

TEST(SimulatedSensorNvm, BadOptionsNameTheKey) {
    const char *bad[] = {
        R"({"refSpadCount": 128})",      R"({"refSpadCount": -1})",
        R"({"goodSpadMap": [1, 2, 3]})", R"({"goodSpadMap": [1, 2, 3, 4, 5, 256]})",
        R"({"apertureSpads": 2})",       R"({"nvmNeverReady": 1})",
        R"({"nvmWords": {"0x100": 1}})", R"({"nvmWords": [1]})",
        R"({"refSpadCount": "seven"})",
    };
    for (const char *text : bad) {
        EXPECT_THROW(dlnsim::Vl53l0xNvmFromOptions(nlohmann::json::parse(text)),
                     dlnsim::OptionError)
            << text;
    }
}

} // namespace
