// The values the SPI transfer derives from its slots: frequency, mode and select mask.
#include "adapter/spi_transfer.h"

#include <gtest/gtest.h>

namespace {

TEST(SpiSettings, FrequencyAddsFourByteSlotsWithCarry) {
    struct Case {
        int32_t slots[4];
        uint32_t expected;
    };
    const Case cases[] = {
        {{0x40, 0x42, 0x0F, 0}, 1000000},
        {{256, 0, 0, 0}, 256},          // the carry goes into the second byte
        {{0x1FF, 0xFF, 0, 0}, 0x100FF}, // 0xFF00 + 0x1FF
        {{0, 0, 0, 0x80}, 0x80000000u},
        {{0xFF, 0xFF, 0xFF, 0xFF}, 0xFFFFFFFFu},
        {{-1, 0, 0, 0}, 0xFFFFFFFFu}, // 32-bit wrapping, no undefined overflow
    };
    for (const Case &c : cases)
        EXPECT_EQ(SpiRequestedFrequency(c.slots), c.expected)
            << c.slots[0] << " " << c.slots[1] << " " << c.slots[2] << " " << c.slots[3];
}

TEST(SpiSettings, ModeHasCpolInBitZeroAndCphaInBitOne) {
    EXPECT_EQ(SpiMode(0, 0), 0);
    EXPECT_EQ(SpiMode(1, 0), 1);
    EXPECT_EQ(SpiMode(0, 1), 2);
    EXPECT_EQ(SpiMode(1, 1), 3);
    EXPECT_EQ(SpiMode(0x101, 0x80), 1); // truncated to 8 bits
}

TEST(SpiSettings, SelectMaskClearsTheLineBitAndFallsBackToLineZero) {
    const std::pair<int32_t, uint8_t> cases[] = {{0, 0xFE}, {1, 0xFD}, {2, 0xFB},  {3, 0xF7},
                                                 {4, 0xFE}, {7, 0xFE}, {-1, 0xFE}, {256, 0xFE}};
    for (auto [line, mask] : cases)
        EXPECT_EQ(SpiSlaveSelectMask(line), mask) << "line " << line;
}

} // namespace
