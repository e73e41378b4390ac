#include "dlnsim/models/vl53l0x.h"
#include "ranging/bus/registers.h"
#include "support/captured_stdout.h"
#include "support/sensor_bus.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Transfers = std::vector<std::string>;

struct RegisterAccess : ::testing::Test {
    std::shared_ptr<dlnsim::Vl53l0x> sensor = std::make_shared<dlnsim::Vl53l0x>();
    SensorBus bus{sensor};
};

TEST_F(RegisterAccess, WritesSendTheIndexThenBigEndianBytes) {
    const uint8_t block[3] = {0x0F, 0xF0, 0x55};
    EXPECT_EQ(VL53L0X_WriteReg8(bus.device, 0x0A, 0x04), 0);
    EXPECT_EQ(VL53L0X_WriteReg16(bus.device, 0x44, 0x0123), 0);
    EXPECT_EQ(VL53L0X_WriteBlock(bus.device, 0xB0, block, 3), 0);
    EXPECT_EQ(VL53L0X_WriteBlock(bus.device, 0x20, block, 0), 0);
    EXPECT_EQ(bus.transfers(),
              (Transfers{"W 29: 0a 04", "W 29: 44 01 23", "W 29: b0 0f f0 55", "W 29: 20"}));
    EXPECT_EQ(sensor->reg(0, 0xB2), 0x55);
}

TEST_F(RegisterAccess, ReadsWriteTheIndexThenReadMostSignificantFirst) {
    for (uint8_t i = 0; i < 4; ++i)
        sensor->setReg(0, static_cast<uint8_t>(0x90 + i), static_cast<uint8_t>(i + 1));
    uint8_t value8 = 0;
    uint32_t value32 = 0;
    uint8_t block[3] = {};
    EXPECT_EQ(VL53L0X_ReadReg8(bus.device, 0x91, &value8), 0);
    EXPECT_EQ(VL53L0X_ReadReg32(bus.device, 0x90, &value32), 0);
    EXPECT_EQ(VL53L0X_ReadBlock(bus.device, 0x91, block, 3), 0);
    EXPECT_EQ(value8, 2);
    EXPECT_EQ(value32, 16909060u);
    EXPECT_EQ(block[0], 2);
    EXPECT_EQ(block[2], 4);
    EXPECT_EQ(bus.transfers(), (Transfers{"W 29: 91", "R 29: 02", "W 29: 90", "R 29: 01 02 03 04",
                                          "W 29: 91", "R 29: 02 03 04"}));
}

TEST_F(RegisterAccess, ReadReg16PrintsBothBytesWithTwoColumnsEach) {
    const struct {
        uint8_t high, low;
        const char *printed;
        uint16_t value;
    } cases[] = {
        {0x00, 0x0A, " 0 a", 10},
        {0xAB, 0xCD, "abcd", 0xABCD},
        {0x01, 0x00, " 1 0", 256},
    };
    for (const auto &c : cases) {
        sensor->setReg(0, 0x51, c.high);
        sensor->setReg(0, 0x52, c.low);
        bus.clear();
        uint16_t value = 0;
        SensorStatus status = 0;
        std::string printed =
            CaptureStdout([&] { status = VL53L0X_ReadReg16(bus.device, 0x51, &value); });
        EXPECT_EQ(status, 0);
        EXPECT_EQ(printed, c.printed);
        EXPECT_EQ(value, c.value);
        EXPECT_EQ(bus.transfers().front(), "W 29: 51");
    }
}

TEST_F(RegisterAccess, UpdateKeepsTheMaskedBitsAndOrsTheNewOnes) {
    sensor->setReg(0, 0x84, 0x13);
    EXPECT_EQ(VL53L0X_UpdateReg8(bus.device, 0x84, 0xEF, 0x20), 0);
    EXPECT_EQ(bus.transfers(), (Transfers{"W 29: 84", "R 29: 13", "W 29: 84 23"}));
}

TEST_F(RegisterAccess, TheBusAddressIsTheRecordsShiftedRight) {
    bus.device.busAddress = 0x54; // 0x2A on the bus: nobody answers there
    EXPECT_EQ(VL53L0X_WriteReg8(bus.device, 0x0A, 0x04), kSensorControlInterface);
    EXPECT_TRUE(bus.transfers().empty());
    auto trace = bus.sim().trace();
    ASSERT_FALSE(trace.empty());
    EXPECT_EQ(trace.back().address, 0x2A);
}

// A failed transfer must not pass as success, and a failed read must not hand out stale data.
TEST(RegisterAccessFailure, FailedTransfersReportControlInterfaceErrorAndReadZero) {
    for (const char *call : {"DlnI2cMasterWrite", "DlnI2cMasterRead"}) {
        SCOPED_TRACE(call);
        auto sensor = std::make_shared<dlnsim::Vl53l0x>();
        for (uint8_t i = 0; i < 4; ++i)
            sensor->setReg(0, static_cast<uint8_t>(0x90 + i), 0x77);
        SensorBus bus(sensor, {dlnsim::Fault{call, DLN_RES_FAIL, 0}});
        uint8_t value8 = 0xAA;
        uint16_t value16 = 0xAAAA;
        uint32_t value32 = 0xAAAAAAAA;
        uint8_t block[2] = {0xAA, 0xAA};
        EXPECT_EQ(VL53L0X_ReadReg8(bus.device, 0x90, &value8), -20);
        CaptureStdout([&] { EXPECT_EQ(VL53L0X_ReadReg16(bus.device, 0x90, &value16), -20); });
        EXPECT_EQ(VL53L0X_ReadReg32(bus.device, 0x90, &value32), -20);
        EXPECT_EQ(VL53L0X_ReadBlock(bus.device, 0x90, block, 2), -20);
        EXPECT_EQ(value8, 0);
        EXPECT_EQ(value16, 0);
        EXPECT_EQ(value32, 0u);
        EXPECT_EQ(block[0] | block[1], 0);
        EXPECT_EQ(VL53L0X_WriteReg8(bus.device, 0x90, 1),
                  std::string(call) == "DlnI2cMasterWrite" ? -20 : 0);
        // An update whose read failed must not write a value built on zeros.
        bus.clear();
        EXPECT_EQ(VL53L0X_UpdateReg8(bus.device, 0x90, 0xFF, 0x01), -20);
        for (const std::string &transfer : bus.transfers())
            EXPECT_NE(transfer.rfind("W 29: 90 ", 0), 0u) << transfer;
    }
}

} // namespace
