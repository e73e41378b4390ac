// Motor speed board: 0xC1, the parameter and 0xC0 with their waits, a silent success, and
// which reply byte slot 2 holds after a failure at each step.
#include "boards/board_rig.h"
#include "boards/motor_speed.h"
#include "dlnsim/models/motor_board.h"
#include "support/board_exports.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

using Lines = std::vector<std::string>;

constexpr uint8_t kMotor = 0x30;

struct MotorRobot {
    std::shared_ptr<dlnsim::MotorBoard> board =
        std::make_shared<dlnsim::MotorBoard>(dlnsim::MotorBoardConfig{.speed = 0x5A});
    BoardRig rig() const { return BoardRig().board(kMotor, board); }
};

// The parameter is the low byte of 0x103; the last wait is ten times shorter.
// clang-format off
const Lines kMotorBus = {"W 30: c1", "wait 100", "R 30: c1",
                    "W 30: 03", "wait 100", "R 30: 03 00",
                    "W 30: c0", "wait 10",  "R 30: 03 5a"};
// clang-format on

TEST(MotorSpeed, ReadsTheSpeedSilently) {
    MotorRobot motor;
    MotorSpeedReading reading;
    BusRun run = motor.rig().run([&] { reading = Motor_Speeds_Read(kMotor, 0x103); });
    EXPECT_EQ(run.bus, kMotorBus);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(reading.outcome, Outcome::Done);
    EXPECT_EQ(reading.repliesRead, 3);
    EXPECT_EQ(reading.lastValue, 0x5A);
    EXPECT_EQ(motor.board->parameter(), 0x03);
}

// Through the method: slot 2 holds the last reply read before the failure, slots 3 to 5 keep
// their values.
TEST(MotorSpeed, WritesFailBeforeTheirWaitAndReadsAfterIt) {
    struct Case {
        dlnsim::Fault fault;
        size_t failedEntry;
        jint slotTwo;
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
        MotorRobot motor;
        const Slots in = SlotsOf({kMotor, 0x103, -1, -2, -3, -4, 6, 7, 8, 9});
        MethodCall call = motor.rig().fault(c.fault).call(Java_I2C_1DLN_ReadMotorSpeeds, in);
        Lines bus(kMotorBus.begin(), kMotorBus.begin() + c.failedEntry + 1);
        const std::string &entry = bus.back();
        bus.back() = entry.substr(0, entry.find(':') + 1) + " -> 0x4f (failed)";
        EXPECT_EQ(call.run.bus, bus);
        Slots expected = in;
        expected[2] = c.slotTwo;
        EXPECT_EQ(call.array, expected);
        EXPECT_EQ(call.run.out, c.printed);
        EXPECT_EQ(call.result, 10);
        EXPECT_EQ(call.run.trace.back().call, "DlnDisconnect");
    }
}

TEST(MotorSpeedMethod, PrintsNothingAndReturnsTen) {
    MotorRobot motor;
    const Slots in = SlotsOf({kMotor, 2, 2, 3, 4, 5, 6, 7, 8, 9, 10}, 1);
    MethodCall call = motor.rig().call(Java_I2C_1DLN_ReadMotorSpeeds, in);
    Slots expected = in;
    expected[2] = 0x5A;
    expected[3] = 170;
    expected[4] = 171;
    expected[5] = 172;
    EXPECT_EQ(call.result, 10);
    EXPECT_EQ(call.array, expected);
    EXPECT_EQ(call.run.out, "");
    EXPECT_EQ(motor.board->parameter(), 2);
}

} // namespace
