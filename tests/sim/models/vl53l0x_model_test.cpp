// The ranging sensor model's register core, driven byte by byte as the bus would.
#include "dlnsim/models/vl53l0x.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

void Write(dlnsim::Vl53l0x &sensor, Bytes bytes) {
    EXPECT_TRUE(sensor.write(bytes, 0));
}

Bytes Read(dlnsim::Vl53l0x &sensor, uint8_t index, size_t count) {
    Write(sensor, {index});
    Bytes bytes(count, 0xAA);
    EXPECT_TRUE(sensor.read(bytes, 0));
    return bytes;
}

TEST(Vl53l0xModel, PagesKeepTheirOwnRegistersAndTheSelectorIsShared) {
    dlnsim::Vl53l0x sensor;
    Write(sensor, {0x91, 0x11});       // page 0
    Write(sensor, {0xFF, 0x06});       //
    Write(sensor, {0x91, 0x66, 0x67}); // page 6, 0x91 and 0x92
    EXPECT_EQ(Read(sensor, 0xFF, 1), Bytes{0x06});
    EXPECT_EQ(Read(sensor, 0x91, 2), (Bytes{0x66, 0x67}));
    Write(sensor, {0xFF, 0x01});
    EXPECT_EQ(Read(sensor, 0x91, 1), Bytes{0x3C}); // the stop variable
    Write(sensor, {0xFF, 0x00});
    EXPECT_EQ(Read(sensor, 0x91, 1), Bytes{0x11});
    EXPECT_EQ(sensor.reg(6, 0x92), 0x67);
}

TEST(Vl53l0xModel, ResetReadsZeroUntilReleasedThenRestoresPowerOnValues) {
    dlnsim::Vl53l0x sensor;
    int resets = 0;
    sensor.onReset([&] { ++resets; });
    EXPECT_EQ(Read(sensor, 0xC0, 4), (Bytes{0xEE, 0xAA, 0x10, 0x99}));
    Write(sensor, {0x0A, 0x04});
    Write(sensor, {0xFF, 0x01});
    Write(sensor, {0xBF, 0x00});
    EXPECT_TRUE(sensor.inReset());
    EXPECT_EQ(Read(sensor, 0xC0, 1), Bytes{0x00});
    Write(sensor, {0x0B, 0x01}); // ignored while in reset
    EXPECT_EQ(resets, 0);
    Write(sensor, {0xBF, 0x01});
    EXPECT_FALSE(sensor.inReset());
    EXPECT_EQ(resets, 1);
    EXPECT_EQ(Read(sensor, 0xC0, 1), Bytes{0xEE});
    EXPECT_EQ(sensor.page(), 0);
    EXPECT_EQ(sensor.reg(0, 0x0A), 0x00);
    EXPECT_EQ(sensor.reg(0, 0x0B), 0x00);
}

TEST(Vl53l0xModel, HooksSeeTheirPageOnly) {
    dlnsim::Vl53l0x sensor;
    std::vector<int> written;
    sensor.onWrite(1, 0x00, [&](uint8_t value, uint64_t) { written.push_back(value); });
    sensor.onRead(0, 0x13, [&](uint8_t stored, uint64_t) { return uint8_t(stored | 0x04); });
    Write(sensor, {0x00, 0x01}); // page 0: no hook
    Write(sensor, {0xFF, 0x01});
    Write(sensor, {0x00, 0x07});
    EXPECT_EQ(Read(sensor, 0x13, 1), Bytes{0x00}); // page 1: no hook
    Write(sensor, {0xFF, 0x00});
    sensor.setReg(0, 0x13, 0x10);
    EXPECT_EQ(Read(sensor, 0x13, 1), Bytes{0x14});
    EXPECT_EQ(written, std::vector<int>{0x07});
}

TEST(Vl53l0xModel, DecodesWritesForTheTrace) {
    dlnsim::Vl53l0x sensor;
    EXPECT_EQ(sensor.decodeWrite(Bytes{0x91, 0x3C}), "reg 0x91 = 0x3c");
    EXPECT_EQ(sensor.decodeWrite(Bytes{0xB0, 1, 2}), "reg 0xb0 = 0x01 0x02");
    EXPECT_EQ(sensor.decodeWrite(Bytes{0xC0}), "reg 0xc0");
}

} // namespace
