// The values the SPI transfer derives from its settings: mode and select mask.
#include "adapter/spi_transfer.h"

#include <gtest/gtest.h>

namespace {

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
