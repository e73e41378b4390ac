#include "dlnsim/models/vl53l0x.h"
#include "ranging/bus/waits.h"
#include "support/recorded_waits.h"
#include "support/sensor_bus.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

namespace {

using Transfers = std::vector<std::string>;

std::string Hex(uint8_t value) {
    char text[4];
    std::snprintf(text, sizeof text, "%02x", value);
    return text;
}

TEST(DataReady, ModeFourTestsTheInterruptStatusAndItsErrorBits) {
    const struct {
        uint8_t value;
        uint8_t ready;
        SensorStatus status;
    } cases[] = {
        {0x04, 1, 0}, {0x0C, 1, -6}, {0x14, 1, -6}, {0x03, 0, 0},
        {0x05, 0, 0}, {0x08, 0, -6}, {0xE4, 1, 0},  {0x00, 0, 0},
    };
    auto sensor = std::make_shared<dlnsim::Vl53l0x>();
    SensorBus bus(sensor);
    bus.device.gpioInterruptMode = 4;
    for (const auto &c : cases) {
        sensor->setReg(0, 0x13, c.value);
        uint8_t ready = 0xAA;
        EXPECT_EQ(VL53L0X_CheckDataReady(bus.device, &ready), c.status) << int(c.value);
        EXPECT_EQ(ready, c.ready) << int(c.value);
    }
    EXPECT_EQ(bus.transfers().front(), "W 29: 13");
}

TEST(DataReady, OtherModesTestBitZeroOfTheRangeStatus) {
    const struct {
        uint8_t mode;
        uint8_t value;
        uint8_t ready;
    } cases[] = {{0, 0x01, 1}, {0, 0xFE, 0}, {1, 0x4B, 1}, {3, 0x00, 0}};
    auto sensor = std::make_shared<dlnsim::Vl53l0x>();
    SensorBus bus(sensor);
    sensor->setReg(0, 0x13, 0x1C); // error bits there must not matter in these modes
    for (const auto &c : cases) {
        bus.device.gpioInterruptMode = c.mode;
        sensor->setReg(0, 0x14, c.value);
        bus.clear();
        uint8_t ready = 0xAA;
        EXPECT_EQ(VL53L0X_CheckDataReady(bus.device, &ready), 0);
        EXPECT_EQ(ready, c.ready);
        EXPECT_EQ(bus.transfers(), (Transfers{"W 29: 14", "R 29: " + Hex(c.value)}));
    }
}

TEST(WaitDataReady, GivesUpAfterTwoThousandChecksWithADelayBetweenEach) {
    SensorBus bus(std::make_shared<dlnsim::Vl53l0x>());
    RecordedWaits waits;
    EXPECT_EQ(VL53L0X_WaitDataReady(bus.device), -7);
    EXPECT_EQ(waits.waits(), std::vector<uint32_t>(1999, 1));
    EXPECT_EQ(bus.transfers().size(), 2u * 2000u);
}

TEST(WaitDataReady, EndsWhenTheResultArrivesOrAtTheFirstRangeError) {
    auto sensor = std::make_shared<dlnsim::Vl53l0x>();
    SensorBus bus(sensor);
    bus.device.gpioInterruptMode = 4;
    RecordedWaits waits;
    // The result shows up after the fifth delay.
    waits.onWait([&](uint32_t) {
        if (waits.waits().size() == 5)
            sensor->setReg(0, 0x13, 0x04);
    });
    EXPECT_EQ(VL53L0X_WaitDataReady(bus.device), 0);
    EXPECT_EQ(waits.waits().size(), 5u);

    waits.clear();
    waits.onWait([&](uint32_t) {
        if (waits.waits().size() == 2)
            sensor->setReg(0, 0x13, 0x0C); // ready, but with a range error
    });
    sensor->setReg(0, 0x13, 0x00);
    EXPECT_EQ(VL53L0X_WaitDataReady(bus.device), -6);
    EXPECT_EQ(waits.waits().size(), 2u);

    waits.clear();
    sensor->setReg(0, 0x13, 0x10);
    EXPECT_EQ(VL53L0X_WaitDataReady(bus.device), -6);
    EXPECT_TRUE(waits.waits().empty());
}

TEST(SoftReset, HoldsTheSensorInResetThenReleasesItAndWaitsForItsIdentification) {
    auto sensor = std::make_shared<dlnsim::Vl53l0x>();
    SensorBus bus(sensor);
    bus.device.deviceState = 3;
    RecordedWaits waits;
    EXPECT_EQ(VL53L0X_SoftReset(bus.device), 0);
    EXPECT_EQ(bus.device.deviceState, 0);
    EXPECT_EQ(waits.waits(), (std::vector<uint32_t>{1, 1}));
    EXPECT_EQ(bus.transfers(), (Transfers{"W 29: bf 00", "W 29: c0", "R 29: 00", "W 29: bf 01",
                                          "W 29: c0", "R 29: ee"}));
    EXPECT_FALSE(sensor->inReset());
}

// A sensor that holds 0xC0 at one value whatever is written to it, each read taking readTime.
class StuckSensor : public dlnsim::I2cDevice {
  public:
    explicit StuckSensor(uint8_t value, std::chrono::microseconds readTime = {})
        : value_(value), readTime_(readTime) {}
    bool write(std::span<const uint8_t>, uint64_t) override { return true; }
    bool read(std::span<uint8_t> data, uint64_t) override {
        std::this_thread::sleep_for(readTime_);
        for (uint8_t &byte : data)
            byte = value_;
        return true;
    }

  private:
    uint8_t value_;
    std::chrono::microseconds readTime_;
};

// Either poll gives up after 2000 reads, or sooner after 100 ms: a machine slow enough to
// spend that long on the reads sees fewer.
TEST(SoftReset, GivesUpAfterTwoThousandReadsOfEitherPoll) {
    const struct {
        uint8_t stuckAt;
        size_t transfers; // the 0xBF writes and the index write and read of every poll
        size_t delays;
    } cases[] = {
        {0xEE, 1 + 2 * 2000, 0},         // never enters reset
        {0x00, 1 + 2 + 1 + 2 * 2000, 1}, // never leaves it
    };
    for (const auto &c : cases) {
        SensorBus bus(std::make_shared<StuckSensor>(c.stuckAt));
        bus.device.deviceState = 3;
        RecordedWaits waits;
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(VL53L0X_SoftReset(bus.device), -7) << int(c.stuckAt);
        if (std::chrono::steady_clock::now() - start < std::chrono::milliseconds(90))
            EXPECT_EQ(bus.transfers().size(), c.transfers) << int(c.stuckAt);
        else
            EXPECT_LE(bus.transfers().size(), c.transfers) << int(c.stuckAt);
        EXPECT_EQ(waits.waits().size(), c.delays) << int(c.stuckAt);
        EXPECT_EQ(bus.device.deviceState, 3) << int(c.stuckAt);
    }
}

// A sensor left in reset (a NACK on the write that releases it) costs a reconnect 100 ms of
// polls, not 2000 slow reads.
TEST(SoftReset, APollOfSlowReadsEndsAfterItsTime) {
    SensorBus bus(std::make_shared<StuckSensor>(0x00, std::chrono::milliseconds(2)));
    RecordedWaits waits;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(VL53L0X_SoftReset(bus.device), -7);
    const auto elapsed = std::chrono::steady_clock::now() - start;
    // 2000 polls would take at least 4 s.
    EXPECT_LT(elapsed, std::chrono::milliseconds(1500));
    EXPECT_LT(bus.transfers().size(), 1 + 2 + 1 + 2 * 1000u);
}

TEST(PollingDelay, WaitsOneMillisecondThroughThePlatform) {
    RecordedWaits waits;
    PollingDelay();
    EXPECT_EQ(waits.waits(), std::vector<uint32_t>{1});
}

} // namespace
