#include "ranging/configuration/timing_math.h"

#include <gtest/gtest.h>

namespace {

TEST(TimeoutEncoding, EncodesMclksToExponentAndMantissa) {
    const struct {
        uint32_t mclks;
        uint16_t encoded;
    } cases[] = {{0, 0x0000},   {1, 0x0000},   {256, 0x00FF},  {257, 0x0180},
                 {509, 0x01FE}, {578, 0x0290}, {65536, 0x08FF}};
    for (const auto &c : cases) {
        EXPECT_EQ(EncodeTimeoutMclks(c.mclks), c.encoded) << "mclks " << c.mclks;
    }
}

TEST(TimeoutEncoding, DecodesExponentAndMantissaToMclks) {
    const struct {
        uint16_t encoded;
        uint16_t mclks;
    } cases[] = {{0x0000, 1},
                 {0x0096, 151},
                 {0x01FE, 509},
                 {0x0290, 577},
                 // the shifted mantissa is kept to 16 bits before the 1 is added
                 {0x08FF, 0xFF01},
                 {0x10FF, 1},
                 {0xFFFF, 1}};
    for (const auto &c : cases) {
        EXPECT_EQ(DecodeTimeoutMclks(c.encoded), c.mclks) << "encoded 0x" << std::hex << c.encoded;
    }
}

TEST(MacroClock, PeriodOfTheTwoUsualVcselPeriods) {
    EXPECT_EQ(MacroPeriodNs(14), 53384u);
    EXPECT_EQ(MacroPeriodNs(10), 38131u);
    EXPECT_EQ(MacroPeriodNs(0), 0u);
}

TEST(MacroClock, ConvertsBetweenMclksAndMicroseconds) {
    EXPECT_EQ(MclksToMicros(14, 38), 2029u);
    EXPECT_EQ(MclksToMicros(14, 151), 8061u);
    EXPECT_EQ(MclksToMicros(10, 358), 13651u);
    EXPECT_EQ(MicrosToMclks(10, 16270), 427u);
    EXPECT_EQ(MicrosToMclks(10, 25000), 656u);
    EXPECT_EQ(MicrosToMclks(14, 1000), 19u);
    EXPECT_EQ(MicrosToMclks(10, 0), 0u);
}

TEST(MacroClock, LongPeriodTimesLargeCountDoesNotWrap) {
    // 65535 MCLKs of 968532 ns: 63472.7 ms, far beyond what 32-bit nanoseconds hold.
    EXPECT_EQ(MacroPeriodNs(254), 968532u);
    EXPECT_EQ(MclksToMicros(254, 65535), 63472745u);
}

TEST(MacroClock, VcselPeriodZeroGivesNoMclksInsteadOfDividingByZero) {
    // (0x7F + 1) * 2 wraps to a period of 0 in 8 bits.
    EXPECT_EQ(MicrosToMclks(0, 20000), 0u);
}

} // namespace
