// Single ranging against the simulated sensor: the start sequence, the result block
// conversions, the interrupt clear and the whole measurement.
#include "ranging/measurement/single_ranging.h"

#include "dlnsim/models/vl53l0x_measurement.h"
#include "support/sensor_rig.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(SingleRanging, StartWritesTheStopVariableThenStartsAndPollsTheStartBit) {
    SensorRig rig;
    rig.device().stopVariable = 0x3C;
    EXPECT_EQ(0, VL53L0X_StartRanging(rig.device()));
    const std::vector<std::string> expected = {
        "W 29: 80 01", "W 29: ff 01", "W 29: 00 00", "W 29: 91 3c", "W 29: 00 01",
        "W 29: ff 00", "W 29: 80 00", "W 29: 00 01", "W 29: 00",    "R 29: 00"};
    EXPECT_EQ(expected, rig.bus.transfers());
}

TEST(SingleRanging, StartBitStillSetAfter1998ReadsTimesOut) {
    struct Case {
        int clearsOnRead; // 0: never
        SensorStatus status;
        long reads;
    };
    for (const Case &c :
         {Case{1, 0, 1}, Case{1998, 0, 1998}, Case{1999, -7, 1999}, Case{0, -7, 1999}}) {
        SensorRig rig;
        rig.scriptReads(0, 0x00, [c](int read) {
            return static_cast<uint8_t>(c.clearsOnRead > 0 && read >= c.clearsOnRead ? 0 : 1);
        });
        EXPECT_EQ(c.status, VL53L0X_StartRanging(rig.device())) << "clears on " << c.clearsOnRead;
        EXPECT_EQ(c.reads, rig.count("W 29: 00")) << "clears on " << c.clearsOnRead;
    }
}

TEST(SingleRanging, ResultBlockIsConvertedToMillimetresAndFixedPointRates) {
    struct Case {
        uint8_t rangeHigh, rangeLow, fractional;
        uint16_t gain, mm;
        uint8_t fraction;
    };
    const Case cases[] = {{0x01, 0x2C, 0, 1000, 300, 0x00},
                          {0x01, 0x2C, 1, 1000, 75, 0x00},
                          {0x01, 0x2F, 1, 1000, 75, 0xC0},
                          {0x01, 0x2C, 0, 1100, 330, 0x00},
                          {0x01, 0x2C, 0, 999, 300, 0x00}};
    SensorRig rig;
    for (const Case &c : cases) {
        // Device status 11 (valid), 10.0 SPADs, signal 1.0 MCPS, ambient 0.125 MCPS (9.7).
        const uint8_t block[12] = {0x58, 0,    0x0A, 0x00, 0,           0,
                                   0x00, 0x80, 0x00, 0x10, c.rangeHigh, c.rangeLow};
        for (uint8_t i = 0; i < 12; ++i)
            rig.sensor->setReg(0, static_cast<uint8_t>(0x14 + i), block[i]);
        rig.device().rangeFractionalEnable = c.fractional;
        rig.device().linearityGain = c.gain;
        RangingResult result;
        ASSERT_EQ(0, VL53L0X_ReadRangingResult(rig.device(), &result));
        SCOPED_TRACE("range " + std::to_string(c.rangeHigh << 8 | c.rangeLow) + " gain " +
                     std::to_string(c.gain) + " fractional " + std::to_string(c.fractional));
        EXPECT_EQ(c.mm, result.rangeMm);
        EXPECT_EQ(c.fraction, result.rangeFraction);
        EXPECT_EQ(0x10000u, result.signalRateReturn);
        EXPECT_EQ(0x2000u, result.ambientRateReturn);
        EXPECT_EQ(0x0A00, result.effectiveSpadCount);
        EXPECT_EQ(kRangeValid, result.rangeStatus);
        EXPECT_EQ(c.mm, rig.device().lastResult.rangeMm);
    }
}

TEST(SingleRanging, InterruptClearSucceedsOnlyWithinTwoAttempts) {
    struct Case {
        int clearsOnAttempt; // 0: never
        SensorStatus status;
        long attempts;
    };
    for (const Case &c : {Case{1, 0, 1}, Case{2, 0, 2}, Case{3, -12, 3}, Case{0, -12, 3}}) {
        SensorRig rig;
        rig.scriptReads(0, 0x13, [c](int read) {
            return static_cast<uint8_t>(c.clearsOnAttempt > 0 && read >= c.clearsOnAttempt ? 0
                                                                                           : 0x04);
        });
        EXPECT_EQ(c.status, VL53L0X_ClearInterrupt(rig.device())) << c.clearsOnAttempt;
        EXPECT_EQ(c.attempts, rig.count("W 29: 0b 01")) << c.clearsOnAttempt;
        EXPECT_EQ(c.attempts, rig.count("W 29: 0b 00")) << c.clearsOnAttempt;
    }
}

TEST(SingleRanging, MeasurementReportsTheTargetDistanceAfterTheMeasurementTime) {
    SensorRig rig({.path = {{0, 512.0}}});
    RangingResult result;
    ASSERT_EQ(0, VL53L0X_PerformSingleRangingMeasurement(rig.device(), &result));
    EXPECT_NEAR(512, result.rangeMm, rig.world->noiseMm + 0.5);
    EXPECT_EQ(kRangeValid, result.rangeStatus);
    EXPECT_EQ(3, rig.device().deviceState);
    EXPECT_EQ(0, rig.sensor->reg(0, 0x13)) << "the interrupt is cleared for the next one";
    const uint64_t measurementUs = dlnsim::MeasurementTimeUs(*rig.sensor);
    EXPECT_GE(rig.clock.nowUs(), measurementUs);
    EXPECT_LT(rig.clock.nowUs(), measurementUs + 2000);
}

TEST(SingleRanging, TargetOutOfReachGivesASignalFailure) {
    SensorRig rig({.path = {{0, 5000.0}}});
    RangingResult result;
    ASSERT_EQ(0, VL53L0X_PerformSingleRangingMeasurement(rig.device(), &result));
    EXPECT_EQ(kRangeSignalFail, result.rangeStatus);
}

TEST(SingleRanging, FailureBeforeTheResultIsReadLeavesNoUpdateAndRangeZero) {
    SensorRig rig({.measurementTimeUs = 10'000'000}); // never ready within the wait
    rig.device().lastResult.rangeMm = 777;
    RangingResult result;
    result.rangeMm = 1234;
    EXPECT_EQ(-7, VL53L0X_PerformSingleRangingMeasurement(rig.device(), &result));
    EXPECT_EQ(0, result.rangeMm);
    EXPECT_EQ(kRangeNoUpdate, result.rangeStatus);
    EXPECT_EQ(777, rig.device().lastResult.rangeMm);
    EXPECT_EQ(0, rig.count("W 29: 0b 01")) << "no interrupt clear after a failed wait";
    EXPECT_EQ(1999u, rig.clock.waits().waits().size());
}

TEST(SingleRanging, FailedResultReadIsReportedNotConverted) {
    SensorRig rig({}, {{"DlnI2cMasterRead", 0x4F, 1}});
    RangingResult result;
    EXPECT_EQ(-20, VL53L0X_ReadRangingResult(rig.device(), &result));
    EXPECT_EQ(kRangeNoUpdate, result.rangeStatus);
    EXPECT_EQ(0, result.rangeMm);
}

} // namespace
