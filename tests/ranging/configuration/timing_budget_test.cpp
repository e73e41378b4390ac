#include "dlnsim/models/vl53l0x.h"
#include "dlnsim/models/vl53l0x_sensor.h"
#include "dlnsim/models/vl53l0x_timing.h"
#include "ranging/configuration/sequence_steps.h"
#include "ranging/configuration/step_timeouts.h"
#include "ranging/configuration/timing_budget.h"
#include "support/captured_stdout.h"
#include "support/sensor_bus.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <string>
#include <vector>

namespace {

using Transfers = std::vector<std::string>;

// Runs a driver call whose 16-bit register reads print their bytes, keeping them out of the
// test log (a capture around a whole test would swallow its failure messages too).
template <class Call> SensorStatus Quietly(Call call) {
    SensorStatus status = 0;
    CaptureStdout([&] { status = call(); });
    return status;
}

// A sensor whose timing registers hold the state used throughout: VCSEL periods 14 and 10,
// MSRC 38 MCLKs, pre-range 151 MCLKs, final range 509 MCLKs, steps 0xF8 (all but MSRC).
struct TimingBudget : ::testing::Test {
    std::shared_ptr<dlnsim::Vl53l0x> sensor = std::make_shared<dlnsim::Vl53l0x>();
    SensorBus bus{sensor};

    TimingBudget() {
        dlnsim::AddVl53l0xTiming(*sensor, {.sequenceConfig = 0xF8,
                                           .msrcTimeout = 0x25,
                                           .preRangeVcsel = 0x06,
                                           .preRangeTimeout = 0x0096,
                                           .finalRangeVcsel = 0x04,
                                           .finalRangeTimeout = 0x01FE});
    }
    uint16_t reg16(uint8_t index) const {
        return static_cast<uint16_t>(sensor->reg(0, index) << 8 | sensor->reg(0, index + 1));
    }
    bool wroteAnything() const {
        for (const std::string &t : bus.transfers()) {
            if (t.rfind("W 29: ", 0) == 0 && t.size() > 8) {
                return true;
            }
        }
        return false;
    }
};

TEST_F(TimingBudget, ReadsTheVcselPeriods) {
    uint8_t pre = 0, final = 0, other = 0xAA;
    EXPECT_EQ(VL53L0X_ReadVcselPeriod(bus.device, kVcselPreRange, &pre), kSensorOk);
    EXPECT_EQ(VL53L0X_ReadVcselPeriod(bus.device, kVcselFinalRange, &final), kSensorOk);
    EXPECT_EQ(pre, 14);
    EXPECT_EQ(final, 10);
    EXPECT_EQ(bus.transfers(), (Transfers{"W 29: 50", "R 29: 06", "W 29: 70", "R 29: 04"}));

    bus.clear();
    EXPECT_EQ(VL53L0X_ReadVcselPeriod(bus.device, 2, &other), kSensorInvalidParams);
    EXPECT_EQ(other, 0xAA);
    EXPECT_TRUE(bus.transfers().empty());
}

TEST_F(TimingBudget, ReadsEachStepTimeoutInMicroseconds) {
    const struct {
        uint8_t id;
        uint32_t us;
    } cases[] = {{kStepMsrc, 2029}, {kStepPreRange, 8061}, {kStepFinalRange, 13651},
                 {kStepTcc, 0},     {kStepDss, 0},         {5, 0}};
    for (const auto &c : cases) {
        uint32_t us = 0xDEAD;
        EXPECT_EQ(Quietly([&] { return VL53L0X_ReadStepTimeout(bus.device, c.id, &us); }),
                  kSensorOk);
        EXPECT_EQ(us, c.us) << "step " << int(c.id);
    }
}

TEST_F(TimingBudget, FinalRangeKeepsThePreRangeShareWhenPreRangeIsOff) {
    sensor->setReg(0, 0x01, 0xB8); // pre-range off: all 509 MCLKs belong to the final range
    uint32_t us = 0;
    EXPECT_EQ(Quietly([&] { return VL53L0X_ReadStepTimeout(bus.device, kStepFinalRange, &us); }),
              kSensorOk);
    EXPECT_EQ(us, 19409u); // 509 * 38131 ns
}

TEST_F(TimingBudget, ComputesTheBudgetFromTheRegisters) {
    uint32_t us = 0;
    EXPECT_EQ(Quietly([&] { return VL53L0X_ComputeTimingBudget(bus.device, &us); }), kSensorOk);
    // 2870 + TCC (2029 + 590) + DSS (2 * 2029 + 1380) + pre-range (8061 + 660)
    //      + final range (13651 + 550)
    EXPECT_EQ(us, 33849u);
    EXPECT_EQ(bus.device.CurrentParameters.measurementTimingBudgetUs, 33849u);
    EXPECT_FALSE(wroteAnything());
}

TEST_F(TimingBudget, MsrcCountsOnlyWhenDssIsOff) {
    sensor->setReg(0, 0x01, 0xC4); // MSRC, pre-range, final range
    uint32_t us = 0;
    EXPECT_EQ(Quietly([&] { return VL53L0X_ComputeTimingBudget(bus.device, &us); }), kSensorOk);
    EXPECT_EQ(us, 2870u + 2029 + 660 + 8061 + 660 + 13651 + 550);
}

TEST_F(TimingBudget, DisablingTccGivesItsTimeToTheFinalRange) {
    uint32_t us = 0;
    ASSERT_EQ(Quietly([&] { return VL53L0X_ComputeTimingBudget(bus.device, &us); }), kSensorOk);
    bus.clear();
    EXPECT_EQ(Quietly([&] { return VL53L0X_DisableSequenceStep(bus.device, kStepTcc); }),
              kSensorOk);
    EXPECT_EQ(sensor->reg(0, 0x01), 0xE8);
    EXPECT_EQ(bus.device.sequenceConfig, 0xE8);
    // 33849 - 2870 - DSS 5438 - pre-range 8721 - 550 = 16270 µs = 427 MCLKs, plus 151
    // pre-range MCLKs = 578.
    EXPECT_EQ(reg16(0x71), 0x0290);
    EXPECT_EQ(bus.device.finalRangeTimeoutUs, 16270u);
    EXPECT_EQ(bus.device.CurrentParameters.measurementTimingBudgetUs, 33849u);
    const Transfers t = bus.transfers();
    EXPECT_EQ(t[0], "W 29: 01");
    EXPECT_EQ(t[1], "R 29: f8");
    EXPECT_EQ(t[2], "W 29: 01 e8");
    EXPECT_EQ(t.back(), "W 29: 71 02 90");
}

TEST_F(TimingBudget, DisablingAStepThatIsOffWritesNothing) {
    bus.device.CurrentParameters.measurementTimingBudgetUs = 33849;
    EXPECT_EQ(Quietly([&] { return VL53L0X_DisableSequenceStep(bus.device, kStepMsrc); }),
              kSensorOk);
    EXPECT_EQ(bus.transfers(), (Transfers{"W 29: 01", "R 29: f8"}));
    EXPECT_EQ(bus.device.sequenceConfig, 0);
}

TEST_F(TimingBudget, DisablingDssAlsoClearsBitFive) {
    sensor->setReg(0, 0x01, 0xFF);
    bus.device.CurrentParameters.measurementTimingBudgetUs = 33849;
    EXPECT_EQ(Quietly([&] { return VL53L0X_DisableSequenceStep(bus.device, kStepDss); }),
              kSensorOk);
    EXPECT_EQ(sensor->reg(0, 0x01), 0xD7);
}

TEST_F(TimingBudget, DisablingAnUnknownStepReadsButWritesNothing) {
    EXPECT_EQ(Quietly([&] { return VL53L0X_DisableSequenceStep(bus.device, 5); }),
              kSensorInvalidParams);
    EXPECT_EQ(bus.transfers(), (Transfers{"W 29: 01", "R 29: f8"}));
}

TEST_F(TimingBudget, BudgetsThatDoNotFitAreRefusedWithoutWriting) {
    const struct {
        const char *what;
        uint8_t steps;
        uint32_t budget;
        SensorStatus status;
    } cases[] = {
        {"below the smallest budget", 0xE8, 19999, kSensorInvalidParams},
        {"the smallest budget, fitting", 0xE8, 20000, kSensorOk},
        // 20000 - 2870 - 2619 - 5438 - 8721 leaves 352 µs, short of the final range's 550.
        {"no room for the final range", 0xF8, 20000, kSensorInvalidParams},
        {"exactly the final range's overhead left", 0xF8, 20198, kSensorOk},
        {"one microsecond short of it", 0xF8, 20197, kSensorInvalidParams},
    };
    for (const auto &c : cases) {
        sensor->setReg(0, 0x71, 0x01);
        sensor->setReg(0, 0x72, 0xFE);
        sensor->setReg(0, 0x01, c.steps);
        bus.device.CurrentParameters.measurementTimingBudgetUs = 1;
        bus.clear();
        EXPECT_EQ(Quietly([&] { return VL53L0X_ApplyTimingBudget(bus.device, c.budget); }),
                  c.status)
            << c.what;
        EXPECT_EQ(wroteAnything(), c.status == kSensorOk) << c.what;
        EXPECT_EQ(bus.device.CurrentParameters.measurementTimingBudgetUs,
                  c.status == kSensorOk ? c.budget : 1u)
            << c.what;
    }
    // 20000 with TCC off: 2421 µs = 63 MCLKs + 151 = 214, encoded 0x00D5.
    sensor->setReg(0, 0x01, 0xE8);
    EXPECT_EQ(Quietly([&] { return VL53L0X_ApplyTimingBudget(bus.device, 20000); }), kSensorOk);
    EXPECT_EQ(reg16(0x71), 0x00D5);
    EXPECT_EQ(bus.device.finalRangeTimeoutUs, 2421u);
}

TEST_F(TimingBudget, AStepLongerThanTheBudgetIsRefused) {
    sensor->setReg(0, 0x51, 0x06); // pre-range 0x0696: 150 << 6 MCLKs, half a second
    EXPECT_EQ(Quietly([&] { return VL53L0X_ApplyTimingBudget(bus.device, 33849); }),
              kSensorInvalidParams);
    EXPECT_FALSE(wroteAnything());
}

TEST_F(TimingBudget, WithoutFinalRangeNothingIsWrittenOrKept) {
    sensor->setReg(0, 0x01, 0x78);
    EXPECT_EQ(Quietly([&] { return VL53L0X_ApplyTimingBudget(bus.device, 40000); }), kSensorOk);
    EXPECT_FALSE(wroteAnything());
    EXPECT_EQ(bus.device.CurrentParameters.measurementTimingBudgetUs, 0u);
}

TEST(TimingBudgetOnAFailingBus, AFailedRegisterReadIsReported) {
    auto sensor = std::make_shared<dlnsim::Vl53l0x>();
    dlnsim::AddVl53l0xTiming(*sensor);
    SensorBus bus{sensor, {{.call = "DlnI2cMasterRead", .code = 0x4F, .nth = 0}}};
    bus.device.CurrentParameters.measurementTimingBudgetUs = 7;
    uint32_t us = 0;
    EXPECT_EQ(Quietly([&] { return VL53L0X_ComputeTimingBudget(bus.device, &us); }),
              kSensorControlInterface);
    EXPECT_EQ(bus.device.CurrentParameters.measurementTimingBudgetUs, 7u);
    EXPECT_EQ(Quietly([&] { return VL53L0X_ApplyTimingBudget(bus.device, 33849); }),
              kSensorControlInterface);
    EXPECT_EQ(Quietly([&] { return VL53L0X_DisableSequenceStep(bus.device, kStepTcc); }),
              kSensorControlInterface);
    // Each stops at its failed read of register 0x01.
    const Transfers t = bus.transfers();
    ASSERT_EQ(t.size(), 6u);
    for (size_t i = 0; i < t.size(); i += 2) {
        EXPECT_EQ(t[i], "W 29: 01");
    }
}

// The sensor as it powers up, with every step enabled: MSRC and DSS both on, so DSS stands in
// for the MSRC term. Hand calculation from the power-on registers:
//   VCSEL periods (0x06 + 1) * 2 = 14 and (0x04 + 1) * 2 = 10 PCLKs, macro periods
//   (14 * 3813120 + 500) / 1000 = 53384 ns and (10 * 3813120 + 500) / 1000 = 38131 ns
//   MSRC       0x25 + 1 = 38 MCLKs * 53384 ns                 =  2029 µs
//   pre-range  0x0096 = 150 << 0, + 1 = 151 MCLKs * 53384 ns   =  8061 µs
//   final      0x01FE = 254 << 1, + 1 = 509 - 151 = 358 MCLKs * 38131 ns = 13651 µs
//   budget = 2870 + (2029 + 590) + (2 * 2029 + 1380) + (8061 + 660) + (13651 + 550) = 33849 µs
TEST(SimulatedSensorTiming, BudgetOfThePowerOnRegisters) {
    const dlnsim::RangingSensor sensor = dlnsim::MakeRangingSensor(nlohmann::json::object());
    SensorBus bus{sensor.device};
    uint32_t us = 0;
    SensorStatus status = -99;
    const std::string printed =
        CaptureStdout([&] { status = VL53L0X_ComputeTimingBudget(bus.device, &us); });
    EXPECT_EQ(status, kSensorOk);
    EXPECT_EQ(sensor.device->reg(0, 0x01), 0xFF);
    EXPECT_EQ(us, 33849u);
    EXPECT_EQ(printed, " 096 096 1fe"); // the 16-bit reads: 0x51, then 0x51 and 0x71
}

} // namespace
