// The parameter read-back: crosstalk rate, range offset and inter-measurement period as the
// sensor's registers give them.
#include "ranging/configuration/current_parameters.h"

#include "support/captured_stdout.h"
#include "support/sensor_rig.h"

#include <gtest/gtest.h>

namespace {

void SetReg16(SensorRig &rig, uint8_t index, uint16_t value) {
    rig.sensor->setReg(0, index, static_cast<uint8_t>(value >> 8));
    rig.sensor->setReg(0, static_cast<uint8_t>(index + 1), static_cast<uint8_t>(value));
}

CurrentParameters ReadBack(SensorRig &rig, CurrentParameters block = {}) {
    SensorStatus status = -1;
    CaptureStdout([&] { status = VL53L0X_ReadCurrentParameters(rig.device(), &block); });
    EXPECT_EQ(0, status);
    return block;
}

TEST(CurrentParameters, RangeOffsetIsA12BitCountOfQuarterMillimetres) {
    const struct {
        uint16_t reg;
        int32_t offsetUm;
    } cases[] = {{0x0000, 0},      {0x0FFF, -250},   {0x0800, -512000},
                 {0x07FF, 511750}, {0xF7FF, 511750}, {0x0004, 1000}};
    for (const auto &c : cases) {
        SensorRig rig;
        SetReg16(rig, 0x28, c.reg);
        EXPECT_EQ(c.offsetUm, ReadBack(rig).rangeOffsetUm) << std::hex << c.reg;
    }
}

TEST(CurrentParameters, CrosstalkRateComesFromRegister20OrStaysAsItWas) {
    SensorRig rig;
    rig.device().CurrentParameters.xtalkCompensationRate = 77;
    rig.device().CurrentParameters.xtalkCompensationEnable = 1;
    CurrentParameters block = ReadBack(rig);
    EXPECT_EQ(77u, block.xtalkCompensationRate);
    EXPECT_EQ(0, block.xtalkCompensationEnable);
    EXPECT_EQ(0, rig.device().CurrentParameters.xtalkCompensationEnable);

    SetReg16(rig, 0x20, 0x0010);
    block = ReadBack(rig);
    EXPECT_EQ(0x80u, block.xtalkCompensationRate);
    EXPECT_EQ(0x80u, rig.device().CurrentParameters.xtalkCompensationRate);
    EXPECT_EQ(1, rig.device().CurrentParameters.xtalkCompensationEnable);
    EXPECT_EQ(0, block.xtalkCompensationEnable) << "the block never enables it";
}

TEST(CurrentParameters, InterMeasurementPeriodNeedsANonZeroDivisor) {
    SensorRig rig;
    rig.sensor->setReg(0, 0x04 + 2, 0x01); // register 0x04 = 0x00000100
    CurrentParameters block;
    block.interMeasurementPeriodMs = 55;
    EXPECT_EQ(55u, ReadBack(rig, block).interMeasurementPeriodMs) << "0xF8 = 0";
    EXPECT_EQ(55u, rig.device().CurrentParameters.interMeasurementPeriodMs);
    SetReg16(rig, 0xF8, 2);
    EXPECT_EQ(128u, ReadBack(rig, block).interMeasurementPeriodMs);
}

TEST(CurrentParameters, SequenceConfigAndWrapAroundFromRegister01) {
    SensorRig rig;
    rig.sensor->setReg(0, 0x01, 0xE8);
    CurrentParameters block = ReadBack(rig);
    EXPECT_EQ(0xE8, rig.device().sequenceConfig);
    EXPECT_EQ(1, block.wrapAroundCheckEnable);
    EXPECT_EQ(1, rig.device().CurrentParameters.wrapAroundCheckEnable);
    EXPECT_GT(block.measurementTimingBudgetUs, 20000u);
}

} // namespace
