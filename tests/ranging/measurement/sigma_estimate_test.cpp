#include "ranging/measurement/sigma_estimate.h"

#include <gtest/gtest.h>

namespace {

RangingDevice StepTimings(uint8_t finalPeriod, uint32_t finalUs, uint8_t prePeriod,
                          uint32_t preUs) {
    RangingDevice device{};
    device.finalRangeVcselPeriod = finalPeriod;
    device.finalRangeTimeoutUs = finalUs;
    device.preRangeVcselPeriod = prePeriod;
    device.preRangeTimeoutUs = preUs;
    return device;
}

TEST(IntegerSquareRoot, GivesTheLargestRootNotAboveN) {
    const struct {
        uint32_t n;
        uint32_t root;
    } cases[] = {{0, 0},
                 {1, 1},
                 {3, 1},
                 {4, 2},
                 {82356, 286},
                 {645625, 803},
                 {80272, 283},
                 {0x40000000, 32768},
                 {0xFFFE0001, 65535},
                 {0xFFFFFFFF, 65535}};
    for (const auto &c : cases) {
        EXPECT_EQ(IntegerSquareRoot(c.n), c.root) << "n " << c.n;
    }
}

TEST(SigmaEstimate, WorkedExampleGivesEveryIntermediateValue) {
    const RangingDevice device = StepTimings(10, 25000, 14, 1000);
    const SigmaTerms t = ComputeSigmaTerms(device, 0x10000, 0x2000);
    EXPECT_EQ(t.ambientKcps, 125u);
    EXPECT_EQ(t.peakSignalKcps, 1000u);
    EXPECT_EQ(t.finalRangeMclks, 656u);
    EXPECT_EQ(t.preRangeMclks, 19u);
    EXPECT_EQ(t.vcselDurationUs, 6863u);
    EXPECT_EQ(t.returnEvents, 6863u);
    EXPECT_EQ(t.ambientTerm, 4915200u);
    EXPECT_EQ(t.signalTerm, 572u);
    EXPECT_EQ(t.widthRoot, 803u);
    EXPECT_EQ(t.returnSigma, 276u);
    EXPECT_EQ(t.timeoutMs, 26u);
    EXPECT_EQ(t.referenceSigma, 64u);
    EXPECT_EQ(t.sigma, 283000u);

    RangingResult result{};
    result.signalRateReturn = 0x10000;
    result.ambientRateReturn = 0x2000;
    EXPECT_EQ(VL53L0X_EstimateSigma(device, result), 283000u);
}

TEST(SigmaEstimate, VcselPeriodEightUsesTheNarrowWidth) {
    // Same as the worked example with a final-range period of 8: width 2 instead of 3.
    const SigmaTerms t = ComputeSigmaTerms(StepTimings(8, 25000, 14, 1000), 0x10000, 0x2000);
    EXPECT_EQ(t.finalRangeMclks, 820u);
    EXPECT_EQ(t.vcselDurationUs, 5688u);
}

TEST(SigmaEstimate, StrongAmbientIsCappedAndSoIsTheResult) {
    // Ambient far above signal: the ratio is capped at 0x666666 and the return sigma at 0xF000,
    // which puts the total above the cap.
    const SigmaTerms t = ComputeSigmaTerms(StepTimings(10, 25000, 14, 1000), 0x100, 0x1000000);
    EXPECT_EQ(t.ambientTerm, 0x666666u * 600);
    EXPECT_EQ(t.returnSigma, 0xF000u);
    EXPECT_EQ(t.sigma, kSigmaCap);
}

TEST(SigmaEstimate, NothingToDivideByGivesTheCap) {
    const struct {
        const char *what;
        RangingDevice device;
        uint32_t signal;
    } cases[] = {
        {"no signal", StepTimings(10, 25000, 14, 1000), 0},
        {"final period 0", StepTimings(0, 25000, 14, 1000), 0x10000},
        {"pre-range period 0", StepTimings(10, 25000, 0, 1000), 0x10000},
        {"timeouts below 500 us", StepTimings(10, 300, 14, 199), 0x10000},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(ComputeSigmaTerms(c.device, c.signal, 0x2000).sigma, kSigmaCap) << c.what;
    }
    // 500 µs round up to one millisecond, which is enough to divide by.
    EXPECT_LT(ComputeSigmaTerms(StepTimings(10, 300, 14, 200), 0x10000, 0x2000).sigma, kSigmaCap);
}

} // namespace
