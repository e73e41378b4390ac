#include "ranging/configuration/limit_checks.h"
#include "ranging/measurement/range_status.h"
#include "ranging/measurement/sigma_estimate.h"

#include <gtest/gtest.h>

namespace {

struct Measurement {
    uint8_t deviceStatusByte;
    uint32_t signalRate;
    uint16_t spadCount;
};

uint8_t RangeStatusOf(RangingDevice &device, const Measurement &m, uint32_t ambient = 0) {
    RangingResult result{};
    result.signalRateReturn = m.signalRate;
    result.ambientRateReturn = ambient;
    result.effectiveSpadCount = m.spadCount;
    uint8_t rangeStatus = 0xAA;
    EXPECT_EQ(VL53L0X_DetermineRangeStatus(device, m.deviceStatusByte, m.signalRate, m.spadCount,
                                           result, &rangeStatus),
              kSensorOk);
    return rangeStatus;
}

TEST(RangeStatus, DeviceStatusCodeAloneWithNoCheckEnabled) {
    const struct {
        uint8_t byte;
        uint8_t rangeStatus;
    } cases[] = {
        {0x00, 255},
        {0x08, 5},
        {0x10, 5},
        {0x18, 5},
        {0x20, 2},
        {0x28, 255},
        {0x30, 4},
        {0x38, 255},
        {0x40, 3},
        {0x48, 4},
        {0x50, 3},
        {0x58, 0},
        {0x60, 255},
        {0x68, 255},
        {0x70, 255},
        {0x78, 255},
        // bits outside 3 to 6 do not count
        {0x8F, 5},
        {0xDF, 0},
        {0x87, 255},
    };
    for (const auto &c : cases) {
        RangingDevice device{};
        EXPECT_EQ(RangeStatusOf(device, {c.byte, 0x10000, 0x0A00}), c.rangeStatus)
            << "device status byte 0x" << std::hex << int(c.byte);
    }
}

TEST(RangeStatus, RangeIgnoreThresholdComparesTheRatePerSpad) {
    const struct {
        uint8_t byte;
        uint32_t signal;
        uint16_t spads;
        uint32_t threshold;
        uint8_t rangeStatus;
        uint8_t checkStatus;
    } cases[] = {
        {0x58, 0x10000, 0x0A00, 2260, 0, 0}, // 6553 per SPAD
        {0x58, 0x2000, 0x1000, 2260, 2, 1},  // 512 per SPAD
        {0x58, 0x2000, 0x1000, 512, 0, 0},   // equal to the threshold is not below it
        {0x58, 0x2000, 0x1000, 513, 2, 1},
        {0x58, 0x10000, 0x0000, 2260, 2, 1}, // no SPADs: rate 0
        {0x58, 0x2000, 0x1000, 0, 0, 0},     // threshold 0 switches the comparison off
        {0x00, 0x2000, 0x1000, 2260, 255, 1},
        {0x40, 0x2000, 0x1000, 2260, 3, 1},
    };
    for (const auto &c : cases) {
        RangingDevice device{};
        device.CurrentParameters.limitCheckEnable[kCheckRangeIgnoreThreshold] = 1;
        device.CurrentParameters.limitCheckValue[kCheckRangeIgnoreThreshold] = c.threshold;
        EXPECT_EQ(RangeStatusOf(device, {c.byte, c.signal, c.spads}), c.rangeStatus)
            << "signal 0x" << std::hex << c.signal << " spads 0x" << c.spads;
        EXPECT_EQ(device.CurrentParameters.limitCheckStatus[kCheckRangeIgnoreThreshold],
                  c.checkStatus);
    }
}

TEST(RangeStatus, SigmaAboveItsLimitFailsOnlyWithANonZeroLimit) {
    RangingDevice device{};
    device.finalRangeVcselPeriod = 10;
    device.finalRangeTimeoutUs = 25000;
    device.preRangeVcselPeriod = 14;
    device.preRangeTimeoutUs = 1000;
    CurrentParameters &params = device.CurrentParameters;
    params.limitCheckEnable[kCheckSigma] = 1;
    const Measurement m{0x58, 0x10000, 0x0A00}; // sigma 283000 with ambient 0x2000

    params.limitCheckValue[kCheckSigma] = 0;
    EXPECT_EQ(RangeStatusOf(device, m, 0x2000), kRangeValid);
    EXPECT_EQ(params.limitCheckStatus[kCheckSigma], 0);

    params.limitCheckValue[kCheckSigma] = 283000;
    EXPECT_EQ(RangeStatusOf(device, m, 0x2000), kRangeValid);

    params.limitCheckValue[kCheckSigma] = 282999;
    EXPECT_EQ(RangeStatusOf(device, m, 0x2000), kRangeSigmaFail);
    EXPECT_EQ(params.limitCheckStatus[kCheckSigma], 1);

    // A signal fail outranks a sigma fail.
    EXPECT_EQ(RangeStatusOf(device, {0x20, 0x10000, 0x0A00}, 0x2000), kRangeSignalFail);
}

TEST(RangeStatus, RecordsTheOutcomeOfChecksZeroToThree) {
    RangingDevice device{};
    CurrentParameters &params = device.CurrentParameters;
    params.limitCheckStatus[4] = 7;
    params.limitCheckStatus[5] = 9;
    RangeStatusOf(device, {0x58, 0x10000, 0x0A00});
    // A check that is not enabled is recorded as 1.
    EXPECT_EQ(params.limitCheckStatus[0], 1);
    EXPECT_EQ(params.limitCheckStatus[1], 1);
    EXPECT_EQ(params.limitCheckStatus[2], 1);
    EXPECT_EQ(params.limitCheckStatus[3], 1);
    EXPECT_EQ(params.limitCheckStatus[4], 7);
    EXPECT_EQ(params.limitCheckStatus[5], 9);

    for (int id = 0; id < 4; ++id) {
        params.limitCheckEnable[id] = 1;
    }
    device.finalRangeVcselPeriod = 10;
    device.preRangeVcselPeriod = 14;
    device.finalRangeTimeoutUs = 25000;
    RangeStatusOf(device, {0x58, 0x10000, 0x0A00});
    EXPECT_EQ(params.limitCheckStatus[0], 0);
    EXPECT_EQ(params.limitCheckStatus[1], 0);
    EXPECT_EQ(params.limitCheckStatus[2], 0);
    EXPECT_EQ(params.limitCheckStatus[3], 0);
    // Device status code 4 marks check 1 as failed even when it is enabled.
    RangeStatusOf(device, {0x20, 0x10000, 0x0A00});
    EXPECT_EQ(params.limitCheckStatus[1], 1);
}

} // namespace
