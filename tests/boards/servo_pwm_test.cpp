// Servo pulse width: the bytes each board receives, the replies printed and kept, and how a
// failed exchange at any step leaves the slots.
#include "boards/board_rig.h"
#include "boards/servo_pwm.h"
#include "dlnsim/models/servo_board.h"
#include "support/board_exports.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

using dlnsim::ServoBoard;
using Lines = std::vector<std::string>;

// The three transfers of one board exchange whose reply is reply.
void Exchange(Lines &bus, uint8_t address, uint8_t byte, uint8_t reply) {
    char text[40];
    snprintf(text, sizeof text, "W %02x: %02x", address, byte);
    bus.push_back(text);
    snprintf(text, sizeof text, "R %02x: %02x", address, reply);
    bus.push_back(text);
    bus.push_back(text);
}

struct ServoRobot {
    std::shared_ptr<ServoBoard> first =
        std::make_shared<ServoBoard>(dlnsim::ServoBoardConfig{.id = 0x61, .parameter = 0x07});
    std::shared_ptr<ServoBoard> second =
        std::make_shared<ServoBoard>(dlnsim::ServoBoardConfig{.id = 0x62, .parameter = 0x08});
    BoardRig rig() const {
        return BoardRig().board(kFirstServoBoard, first).board(kSecondServoBoard, second);
    }
};

// Slots 0 to 9: both boards, their widths, the two 0xA3 parameters, two spare slots.
Slots DualSlots(jint second = kSecondServoBoard) {
    return SlotsOf({kFirstServoBoard, second, 0x05, 0xDC, 0x06, 0x40, 0x11, 0x22, 99, 98}, 66);
}

const Lines kDualLines = {"SERVO  1 =7 \n",      "Servo Read 1 =7 \n",  "SERVO  1 =61 \n",
                          "Servo Read 1 =61 \n", "Servo Read 1 =61 \n", "SERVO  1 =5 \n",
                          "Servo Read 1 =22 \n", "SERVO  1 =62 \n",     "Servo Read 1 =6 \n",
                          "Servo Read 1 =40 \n"};

std::string Joined(const Lines &lines, size_t count) {
    std::string text;
    for (size_t i = 0; i < count && i < lines.size(); ++i)
        text += lines[i];
    return text;
}

TEST(DualServoPwm, TwoBoardsReceiveTheirBytesAndEveryReplyIsKept) {
    ServoRobot robot;
    DualServoReading reading;
    BusRun run = robot.rig().run([&] {
        reading = DualServo_1500_PWM(kFirstServoBoard, kSecondServoBoard, 0x05, 0xDC, 0x06, 0x40,
                                     0x11, 0x22);
    });

    Lines bus;
    Exchange(bus, kFirstServoBoard, 0xA3, 0x07);
    Exchange(bus, kFirstServoBoard, 0x11, 0x11);
    Exchange(bus, kFirstServoBoard, 0xA1, 0x61);
    Exchange(bus, kFirstServoBoard, 0x05, 0x05);
    Exchange(bus, kFirstServoBoard, 0xDC, 0xDC);
    Exchange(bus, kFirstServoBoard, 0xA3, 0x11);
    Exchange(bus, kFirstServoBoard, 0x22, 0x22);
    Exchange(bus, kSecondServoBoard, 0xA1, 0x62);
    Exchange(bus, kSecondServoBoard, 0x06, 0x06);
    Exchange(bus, kSecondServoBoard, 0x40, 0x40);
    EXPECT_EQ(run.bus, bus);
    EXPECT_EQ(AfterEnabled(run.out), Joined(kDualLines, 10));
    EXPECT_EQ(reading.outcome, Outcome::Done);
    EXPECT_EQ(reading.stepsDone, 10);
    EXPECT_EQ(std::vector<uint8_t>(reading.replies + 1, reading.replies + 11),
              (std::vector<uint8_t>{0x07, 0x11, 0x61, 0x05, 0xDC, 0x11, 0x22, 0x62, 0x06, 0x40}));
    EXPECT_EQ(robot.first->parameter(), 0x22);
    EXPECT_EQ(robot.first->pulseWidth(), 0x05DC);
    EXPECT_EQ(robot.second->pulseWidth(), 0x0640);
    EXPECT_EQ(robot.second->parameter(), 0x08);
}

TEST(DualServoPwmMethod, BothBoardsHandTheirRepliesBackInSlotsSixToNine) {
    ServoRobot robot;
    Slots in = DualSlots();
    in.resize(300, 66);
    MethodCall call = robot.rig().call(Java_I2C_1DLN_dualServo_11500_1PWM, in);
    EXPECT_EQ(call.result, 3);
    // Slot 6 the reply to the second 0xA3, slot 7 the second board's low byte, 8 and 9 the
    // first board's low byte.
    Slots expected = in;
    expected[6] = 0x11;
    expected[7] = 0x40;
    expected[8] = 0xDC;
    expected[9] = 0xDC;
    EXPECT_EQ(call.array, expected);
    const std::string before = "Dual Servo: i=0 Data=81 : 51\n"
                               "Dual Servo: i=1 Data=82 : 52\n"
                               "Dual Servo: i=2 Data=5 : 5\n"
                               "Dual Servo: i=3 Data=220 : dc\n"
                               "Dual Servo: i=4 Data=6 : 6\n"
                               "Dual Servo: i=5 Data=64 : 40\n"
                               "Dual Servo: i=6 Data=17 : 11\n"
                               "Dual Servo: i=7 Data=34 : 22\n";
    EXPECT_EQ(call.run.out.substr(0, before.size()), before);
    EXPECT_EQ(AfterEnabled(call.run.out), Joined(kDualLines, 10) + "Passing Write Data =51\n");
}

TEST(DualServoPwmMethod, SecondAddressZeroDrivesOnlyTheFirstBoard) {
    ServoRobot robot;
    MethodCall call = robot.rig().call(Java_I2C_1DLN_dualServo_11500_1PWM, DualSlots(0));
    EXPECT_EQ(call.run.bus.size(), 15u);
    EXPECT_EQ(AfterEnabled(call.run.out), Joined(kDualLines, 5) + "Passing Write Data =51\n");
    Slots expected = DualSlots(0);
    expected[6] = 0x61; // the reply to 0xA1
    EXPECT_EQ(call.array, expected);
    ASSERT_GE(call.run.trace.size(), 2u);
    EXPECT_EQ(call.run.trace[call.run.trace.size() - 2].call, "DlnCloseHandle");
    EXPECT_EQ(call.run.trace.back().call, "DlnDisconnect");
}

TEST(DualServoPwmMethod, AFailedExchangeKeepsWhatTheLastCompletedStepStored) {
    // Slot 6 after steps 0 (its input) to 9.
    const jint kept[10] = {0x11, 0x07, 0x07, 0x61, 0x61, 0x61, 0x05, 0x22, 0x62, 0x06};
    // Either read of an exchange failing ends it: after a failed first read the second would
    // hand back the board's previous reply.
    for (int step = 1; step <= 10; ++step) {
        for (int transfer : {0, 1, 2}) { // the write, the first read, the second read
            SCOPED_TRACE("step " + std::to_string(step) + " transfer " + std::to_string(transfer));
            const dlnsim::Fault fault =
                transfer == 0
                    ? dlnsim::Fault{"DlnI2cMasterWrite", 0x4F, static_cast<uint32_t>(step)}
                    : dlnsim::Fault{"DlnI2cMasterRead", 0x4F,
                                    static_cast<uint32_t>(2 * step - 2 + transfer)};
            ServoRobot robot;
            MethodCall call =
                robot.rig().fault(fault).call(Java_I2C_1DLN_dualServo_11500_1PWM, DualSlots());
            Slots expected = DualSlots();
            expected[6] = kept[step - 1];
            EXPECT_EQ(call.array, expected);
            EXPECT_EQ(AfterEnabled(call.run.out), Joined(kDualLines, step - 1) +
                                                      "DualServo_1500_PWM() failed\n"
                                                      "Passing Write Data =51\n");
            EXPECT_EQ(call.run.bus.size(), 3u * (step - 1) + 1 + transfer);
            ASSERT_GE(call.run.trace.size(), 2u);
            EXPECT_EQ(call.run.trace[call.run.trace.size() - 2].call, "DlnCloseHandle");
            EXPECT_EQ(call.run.trace.back().call, "DlnDisconnect");
        }
    }
}

TEST(DualServoPwmMethod, AddressZeroPrintsItsLinesAndTouchesNoAdapter) {
    ServoRobot robot;
    Slots in(255, 7);
    for (int i = 0; i < 8; ++i)
        in[i] = i * 17;
    MethodCall call = robot.rig().call(Java_I2C_1DLN_dualServo_11500_1PWM, in);
    EXPECT_EQ(call.result, 3);
    EXPECT_EQ(call.run.out, "Dual Servo: i=0 Data=0 : 0\n"
                            "Dual Servo: i=1 Data=17 : 11\n"
                            "Dual Servo: i=2 Data=34 : 22\n"
                            "Dual Servo: i=3 Data=51 : 33\n"
                            "Dual Servo: i=4 Data=68 : 44\n"
                            "Dual Servo: i=5 Data=85 : 55\n"
                            "Dual Servo: i=6 Data=102 : 66\n"
                            "Dual Servo: i=7 Data=119 : 77\n"
                            "I2C Address Zero. Nothing to be done.\n"
                            "Passing Write Data =0\n");
    EXPECT_TRUE(call.run.trace.empty());
    EXPECT_EQ(call.array, in);
}

TEST(DualServoPwmMethod, AddressTestLooksAtTheWholeSlotButTheBusAtItsLowByte) {
    ServoRobot robot;
    MethodCall call = robot.rig().call(Java_I2C_1DLN_dualServo_11500_1PWM, SlotsOf({0x100}));
    ASSERT_EQ(call.run.bus.size(), 1u);
    EXPECT_EQ(call.run.bus[0], "W 00: a3 -> 0x44 (I2C NACK)");
    EXPECT_EQ(AfterEnabled(call.run.out), "DualServo_1500_PWM() failed\nPassing Write Data =100\n");
}

} // namespace
