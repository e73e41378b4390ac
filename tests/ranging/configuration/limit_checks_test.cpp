#include "dlnsim/models/vl53l0x.h"
#include "dlnsim/models/vl53l0x_timing.h"
#include "ranging/configuration/limit_checks.h"
#include "support/captured_stdout.h"
#include "support/sensor_bus.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Transfers = std::vector<std::string>;

// Reads a limit value without the bytes that 16-bit register reads print (a capture around a
// whole test would swallow its failure messages too).
SensorStatus ReadValue(RangingDevice &device, uint8_t id, uint32_t *value) {
    SensorStatus status = 0;
    CaptureStdout([&] { status = VL53L0X_ReadLimitCheckValue(device, id, value); });
    return status;
}

struct LimitChecks : ::testing::Test {
    std::shared_ptr<dlnsim::Vl53l0x> sensor = std::make_shared<dlnsim::Vl53l0x>();
    SensorBus bus{sensor};
    CurrentParameters &params = bus.device.CurrentParameters;

    void setReg16(uint8_t index, uint16_t value) {
        sensor->setReg(0, index, static_cast<uint8_t>(value >> 8));
        sensor->setReg(0, index + 1, static_cast<uint8_t>(value));
    }
};

TEST_F(LimitChecks, EnablingCheckOneWritesItsValueInNinePointSeven) {
    params.limitCheckValue[kCheckSignalRateFinalRange] = 65536; // 1.0 MCPS
    EXPECT_EQ(VL53L0X_EnableLimitCheck(bus.device, kCheckSignalRateFinalRange), kSensorOk);
    EXPECT_EQ(bus.transfers(), (Transfers{"W 29: 44 00 80"}));
    EXPECT_EQ(params.limitCheckEnable[kCheckSignalRateFinalRange], 1);
}

TEST_F(LimitChecks, EnablingChecksFourAndFiveClearTheirBitsOfRegister0x60) {
    sensor->setReg(0, 0x60, 0x13);
    EXPECT_EQ(VL53L0X_EnableLimitCheck(bus.device, kCheckSignalRateMsrc), kSensorOk);
    EXPECT_EQ(sensor->reg(0, 0x60), 0x12);
    EXPECT_EQ(VL53L0X_EnableLimitCheck(bus.device, kCheckSignalRatePreRange), kSensorOk);
    EXPECT_EQ(sensor->reg(0, 0x60), 0x02);
    EXPECT_EQ(bus.transfers(), (Transfers{"W 29: 60", "R 29: 13", "W 29: 60 12", "W 29: 60",
                                          "R 29: 12", "W 29: 60 02"}));
    EXPECT_EQ(params.limitCheckEnable[kCheckSignalRateMsrc], 1);
    EXPECT_EQ(params.limitCheckEnable[kCheckSignalRatePreRange], 1);
}

TEST_F(LimitChecks, ChecksWithoutRegistersLiveInTheRecordOnly) {
    for (uint8_t id : {kCheckSigma, kCheckSignalRefClip, kCheckRangeIgnoreThreshold}) {
        params.limitCheckValue[id] = 2260u + id;
        uint32_t value = 0;
        EXPECT_EQ(VL53L0X_EnableLimitCheck(bus.device, id), kSensorOk);
        EXPECT_EQ(ReadValue(bus.device, id, &value), kSensorOk);
        EXPECT_EQ(params.limitCheckEnable[id], 1);
        EXPECT_EQ(value, 2260u + id);
    }
    EXPECT_TRUE(bus.transfers().empty());
}

TEST_F(LimitChecks, ReadingCheckOneFollowsRegister0x44) {
    params.limitCheckValue[kCheckSignalRateFinalRange] = 1234;
    setReg16(0x44, 0x0080);
    uint32_t value = 0;
    EXPECT_EQ(ReadValue(bus.device, kCheckSignalRateFinalRange, &value), kSensorOk);
    EXPECT_EQ(value, 65536u);
    EXPECT_EQ(params.limitCheckValue[kCheckSignalRateFinalRange], 65536u);
    EXPECT_EQ(params.limitCheckEnable[kCheckSignalRateFinalRange], 1);

    // Zero in the register: the kept value is returned and the check counts as off.
    setReg16(0x44, 0x0000);
    params.limitCheckValue[kCheckSignalRateFinalRange] = 1234;
    EXPECT_EQ(ReadValue(bus.device, kCheckSignalRateFinalRange, &value), kSensorOk);
    EXPECT_EQ(value, 1234u);
    EXPECT_EQ(params.limitCheckEnable[kCheckSignalRateFinalRange], 0);
}

TEST_F(LimitChecks, ReadingChecksFourAndFiveLeavesTheRecordAlone) {
    setReg16(0x64, 0x0010);
    for (uint8_t id : {kCheckSignalRateMsrc, kCheckSignalRatePreRange}) {
        params.limitCheckValue[id] = 99;
        uint32_t value = 0;
        EXPECT_EQ(ReadValue(bus.device, id, &value), kSensorOk);
        EXPECT_EQ(value, 8192u);
        EXPECT_EQ(params.limitCheckValue[id], 99u);
        EXPECT_EQ(params.limitCheckEnable[id], 0);
    }
}

TEST_F(LimitChecks, UnknownIdIsRefusedWithoutTraffic) {
    uint32_t value = 77;
    EXPECT_EQ(VL53L0X_EnableLimitCheck(bus.device, 6), kSensorInvalidParams);
    EXPECT_EQ(ReadValue(bus.device, 6, &value), kSensorInvalidParams);
    EXPECT_EQ(value, 77u);
    EXPECT_TRUE(bus.transfers().empty());
}

TEST(LimitChecksOnAFailingBus, FailedAccessLeavesFlagAndValue) {
    auto sensor = std::make_shared<dlnsim::Vl53l0x>();
    SensorBus bus{sensor,
                  {{.call = "DlnI2cMasterRead", .code = 0x4F, .nth = 0},
                   {.call = "DlnI2cMasterWrite", .code = 0x4F, .nth = 0}}};
    CurrentParameters &params = bus.device.CurrentParameters;
    for (uint8_t id :
         {kCheckSignalRateFinalRange, kCheckSignalRateMsrc, kCheckSignalRatePreRange}) {
        uint32_t value = 77;
        EXPECT_EQ(VL53L0X_EnableLimitCheck(bus.device, id), kSensorControlInterface);
        EXPECT_EQ(params.limitCheckEnable[id], 0);
        EXPECT_EQ(ReadValue(bus.device, id, &value), kSensorControlInterface);
        EXPECT_EQ(value, 77u);
    }
}

TEST(SimulatedSensorLimitChecks, PowerOnValues) {
    auto sensor = std::make_shared<dlnsim::Vl53l0x>();
    dlnsim::AddVl53l0xLimitChecks(*sensor);
    SensorBus bus{sensor};
    uint32_t value = 0;
    EXPECT_EQ(ReadValue(bus.device, kCheckSignalRateFinalRange, &value), kSensorOk);
    EXPECT_EQ(value, 16384u); // 0.25 MCPS
    EXPECT_EQ(ReadValue(bus.device, kCheckSignalRatePreRange, &value), kSensorOk);
    EXPECT_EQ(value, 0u);
    EXPECT_EQ(VL53L0X_EnableLimitCheck(bus.device, kCheckSignalRatePreRange), kSensorOk);
    EXPECT_EQ(sensor->reg(0, 0x60), 0x02);
}

} // namespace
