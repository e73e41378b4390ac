// Motor speed board: 0xC1, the parameter and 0xC0 with their waits, a silent success, and
// which reply byte slot 2 holds after a failure at each step.
#include "boards/motor_speed.h"
#include "dlnsim/models/motor_board.h"
#include "support/board_exports.h"
#include "support/bus_log.h"
#include "support/fake_jni.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

using Lines = std::vector<std::string>;
using Slots = std::vector<int32_t>;

constexpr uint8_t kMotor = 0x30;

struct MotorRun {
    std::shared_ptr<dlnsim::MotorBoard> board =
        std::make_shared<dlnsim::MotorBoard>(dlnsim::MotorBoardConfig{.speed = 0x5A});
    std::shared_ptr<dlnsim::Simulator> build(const std::vector<dlnsim::Fault> &faults = {}) {
        dlnsim::SimBuilder builder;
        builder.i2c(kMotor, board);
        for (const dlnsim::Fault &fault : faults)
            builder.fault(fault);
        return builder.build();
    }
};

// The parameter is the low byte of 0x103; the last wait is ten times shorter.
const Lines kBus = {"write 0x30: c1", "wait 100", "read 0x30: c1",
                    "write 0x30: 03", "wait 100", "read 0x30: 03 00",
                    "write 0x30: c0", "wait 10",  "read 0x30: 03 5a"};

TEST(MotorSpeed, ReadsTheSpeedSilently) {
    MotorRun motor;
    int32_t results[4] = {-1, -2, -3, -4};
    int status = 1234;
    BusRun run =
        RunOnBus(motor.build(), [&] { status = Motor_Speeds_Read(kMotor, 0x103, results); });
    EXPECT_EQ(run.bus, kBus);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(Slots(results, results + 4), (Slots{0x5A, 170, 171, 172}));
    EXPECT_EQ(motor.board->parameter(), 0x03);
    EXPECT_EQ(status, 0);
}

TEST(MotorSpeed, WritesFailBeforeTheirWaitAndReadsAfterIt) {
    struct Case {
        dlnsim::Fault fault;
        size_t failedEntry;
        int32_t slotTwo;
        std::string printed;
    };
    const std::string writeFailed = "DlnI2cMasterWriteDevices() failed\n";
    const std::string readFailed = "DlnI2cMasterReadDevices() failed\n";
    const Case cases[] = {
        {{"DlnI2cMasterWrite", 0x4F, 1}, 0, -1, writeFailed},
        {{"DlnI2cMasterRead", 0x4F, 1}, 2, -1, readFailed},
        {{"DlnI2cMasterWrite", 0x4F, 2}, 3, 0xC1, writeFailed},
        {{"DlnI2cMasterRead", 0x4F, 2}, 5, 0xC1, readFailed},
        {{"DlnI2cMasterWrite", 0x4F, 3}, 6, 0x03, writeFailed},
        {{"DlnI2cMasterRead", 0x4F, 3}, 8, 0x03, readFailed},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.fault.call + " #" + std::to_string(c.fault.nth));
        MotorRun motor;
        int32_t results[4] = {-1, -2, -3, -4};
        int status = 1234;
        BusRun run = RunOnBus(motor.build({c.fault}),
                              [&] { status = Motor_Speeds_Read(kMotor, 0x103, results); });
        Lines bus(kBus.begin(), kBus.begin() + c.failedEntry + 1);
        const std::string &entry = bus.back();
        bus.back() = entry.substr(0, entry.find(':') + 1) + " -> 0x4f";
        EXPECT_EQ(run.bus, bus);
        EXPECT_EQ(Slots(results, results + 4), (Slots{c.slotTwo, -2, -3, -4}));
        EXPECT_EQ(run.out, c.printed);
        EXPECT_EQ(status, -1);
        EXPECT_EQ(run.trace.back().call, "DlnDisconnect");
    }
}

TEST(MotorSpeedMethod, PrintsNothingAndReturnsTen) {
    MotorRun motor;
    FakeJni jni;
    std::vector<jint> values = {kMotor, 2, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    values.resize(255, 1);
    jintArray array = jni.array(values);
    jint result = 0;
    BusRun run = RunOnBus(
        motor.build(), [&] { result = Java_I2C_1DLN_ReadMotorSpeeds(jni.env(), nullptr, array); });
    std::vector<jint> expected = values;
    expected[2] = 0x5A;
    expected[3] = 170;
    expected[4] = 171;
    expected[5] = 172;
    EXPECT_EQ(result, 10);
    EXPECT_EQ(jni.values(array), expected);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(motor.board->parameter(), 2);
}

} // namespace
