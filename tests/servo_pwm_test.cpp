// Servo pulse width: the bytes each board receives, the replies printed and kept, and how a
// failed exchange at any step leaves the slots.
#include "boards/servo_pwm.h"
#include "dlnsim/models/servo_board.h"
#include "support/board_exports.h"
#include "support/bus_log.h"
#include "support/fake_jni.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

using dlnsim::ServoBoard;
using Lines = std::vector<std::string>;

constexpr uint8_t kFirst = 0x51;
constexpr uint8_t kSecond = 0x52;

// The three transfers of one board exchange whose reply is reply.
void Exchange(Lines &bus, uint8_t address, uint8_t byte, uint8_t reply) {
    char text[40];
    snprintf(text, sizeof text, "write 0x%02x: %02x", address, byte);
    bus.push_back(text);
    snprintf(text, sizeof text, "read 0x%02x: %02x", address, reply);
    bus.push_back(text);
    bus.push_back(text);
}

struct ServoRobot {
    std::shared_ptr<ServoBoard> first =
        std::make_shared<ServoBoard>(dlnsim::ServoBoardConfig{.id = 0x61, .parameter = 0x07});
    std::shared_ptr<ServoBoard> second =
        std::make_shared<ServoBoard>(dlnsim::ServoBoardConfig{.id = 0x62, .parameter = 0x08});

    std::shared_ptr<dlnsim::Simulator> build(const std::vector<dlnsim::Fault> &faults = {}) {
        dlnsim::SimBuilder builder;
        builder.i2c(kFirst, first).i2c(kSecond, second);
        for (const dlnsim::Fault &fault : faults)
            builder.fault(fault);
        return builder.build();
    }
};

// Slots 6 to 9 as the caller hands them in: the two 0xA3 parameters, then two spare slots.
struct DualCall {
    int32_t second = kSecond;
    int32_t results[4] = {0x11, 0x22, 99, 98};
    int status = 1234;
    void run() {
        status = DualServo_1500_PWM(kFirst, second, 0x05, 0xDC, 0x06, 0x40, 0x11, 0x22, results);
    }
};

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

TEST(DualServoPwm, TwoBoardsReceiveTheirBytesAndTheRepliesLandInSlotsSixToNine) {
    ServoRobot robot;
    DualCall call;
    BusRun run = RunOnBus(robot.build(), [&] { call.run(); });

    Lines bus;
    Exchange(bus, kFirst, 0xA3, 0x07);
    Exchange(bus, kFirst, 0x11, 0x11);
    Exchange(bus, kFirst, 0xA1, 0x61);
    Exchange(bus, kFirst, 0x05, 0x05);
    Exchange(bus, kFirst, 0xDC, 0xDC);
    Exchange(bus, kFirst, 0xA3, 0x11);
    Exchange(bus, kFirst, 0x22, 0x22);
    Exchange(bus, kSecond, 0xA1, 0x62);
    Exchange(bus, kSecond, 0x06, 0x06);
    Exchange(bus, kSecond, 0x40, 0x40);
    EXPECT_EQ(run.bus, bus);
    EXPECT_EQ(AfterEnabled(run.out), Joined(kDualLines, 10));
    EXPECT_EQ(call.status, 0);
    // Slot 6 the reply to the second 0xA3, slot 7 the second board's low byte, 8 and 9 the
    // first board's low byte.
    EXPECT_EQ(std::vector<int32_t>(call.results, call.results + 4),
              (std::vector<int32_t>{0x11, 0x40, 0xDC, 0xDC}));
    EXPECT_EQ(robot.first->parameter(), 0x22);
    EXPECT_EQ(robot.first->pulseWidth(), 0x05DC);
    EXPECT_EQ(robot.second->pulseWidth(), 0x0640);
    EXPECT_EQ(robot.second->parameter(), 0x08);
}

TEST(DualServoPwm, SecondAddressZeroDrivesOnlyTheFirstBoard) {
    ServoRobot robot;
    DualCall call;
    call.second = 0;
    BusRun run = RunOnBus(robot.build(), [&] { call.run(); });
    EXPECT_EQ(run.bus.size(), 15u);
    EXPECT_EQ(AfterEnabled(run.out), Joined(kDualLines, 5));
    EXPECT_EQ(call.status, 0);
    EXPECT_EQ(std::vector<int32_t>(call.results, call.results + 4),
              (std::vector<int32_t>{0x61, 0x22, 99, 98}));
    ASSERT_GE(run.trace.size(), 2u);
    EXPECT_EQ(run.trace[run.trace.size() - 2].call, "DlnCloseHandle");
    EXPECT_EQ(run.trace.back().call, "DlnDisconnect");
}

TEST(DualServoPwm, AFailedExchangeKeepsWhatTheLastCompletedStepStored) {
    // Slot 6 after steps 0 (its input) to 9.
    const int32_t kept[10] = {0x11, 0x07, 0x07, 0x61, 0x61, 0x61, 0x05, 0x22, 0x62, 0x06};
    for (int step = 1; step <= 10; ++step) {
        for (bool atWrite : {true, false}) {
            SCOPED_TRACE("step " + std::to_string(step) + (atWrite ? " write" : " second read"));
            const dlnsim::Fault fault =
                atWrite ? dlnsim::Fault{"DlnI2cMasterWrite", 0x4F, static_cast<uint32_t>(step)}
                        : dlnsim::Fault{"DlnI2cMasterRead", 0x4F, static_cast<uint32_t>(2 * step)};
            ServoRobot robot;
            DualCall call;
            BusRun run = RunOnBus(robot.build({fault}), [&] { call.run(); });
            EXPECT_EQ(call.status, -1);
            EXPECT_EQ(std::vector<int32_t>(call.results, call.results + 4),
                      (std::vector<int32_t>{kept[step - 1], 0x22, 99, 98}));
            EXPECT_EQ(AfterEnabled(run.out),
                      Joined(kDualLines, step - 1) + "DualServo_1500_PWM() failed\n");
            EXPECT_EQ(run.bus.size(), 3u * (step - 1) + (atWrite ? 1 : 3));
            ASSERT_GE(run.trace.size(), 2u);
            EXPECT_EQ(run.trace[run.trace.size() - 2].call, "DlnCloseHandle");
            EXPECT_EQ(run.trace.back().call, "DlnDisconnect");
        }
    }
}

TEST(DualServoPwm, TheFirstReadOfAnExchangeIsNotJudged) {
    ServoRobot robot;
    DualCall call;
    BusRun run =
        RunOnBus(robot.build({{"DlnI2cMasterRead", 0x4F, 1}, {"DlnI2cMasterRead", 0x4F, 5}}),
                 [&] { call.run(); });
    EXPECT_EQ(call.status, 0);
    EXPECT_EQ(run.bus.size(), 30u);
    EXPECT_EQ(run.bus[1], "read 0x51: -> 0x4f");
    EXPECT_EQ(AfterEnabled(run.out), Joined(kDualLines, 10));
    EXPECT_EQ(std::vector<int32_t>(call.results, call.results + 4),
              (std::vector<int32_t>{0x11, 0x40, 0xDC, 0xDC}));
}

TEST(DualServoPwmMethod, AddressZeroPrintsItsLinesAndTouchesNoAdapter) {
    ServoRobot robot;
    FakeJni jni;
    std::vector<jint> values(255, 7);
    for (int i = 0; i < 8; ++i)
        values[i] = i * 17;
    jintArray array = jni.array(values);
    jint result = 0;
    BusRun run = RunOnBus(robot.build(), [&] {
        result = Java_I2C_1DLN_dualServo_11500_1PWM(jni.env(), nullptr, array);
    });
    EXPECT_EQ(result, 3);
    EXPECT_EQ(run.out, "Dual Servo: i=0 Data=0 : 0\n"
                       "Dual Servo: i=1 Data=17 : 11\n"
                       "Dual Servo: i=2 Data=34 : 22\n"
                       "Dual Servo: i=3 Data=51 : 33\n"
                       "Dual Servo: i=4 Data=68 : 44\n"
                       "Dual Servo: i=5 Data=85 : 55\n"
                       "Dual Servo: i=6 Data=102 : 66\n"
                       "Dual Servo: i=7 Data=119 : 77\n"
                       "I2C Address Zero. Nothing to be done.\n"
                       "Passing Write Data =0\n");
    EXPECT_TRUE(run.trace.empty());
    EXPECT_EQ(jni.values(array), values);
}

TEST(DualServoPwmMethod, HandsSlotsSixToNineBackAndKeepsTheRest) {
    ServoRobot robot;
    FakeJni jni;
    std::vector<jint> values = {kFirst, kSecond, 0x05, 0xDC, 0x06, 0x40, 0x11, 0x22, 99, 98, 55};
    values.resize(300, 66);
    jintArray array = jni.array(values);
    jint result = 0;
    BusRun run = RunOnBus(robot.build(), [&] {
        result = Java_I2C_1DLN_dualServo_11500_1PWM(jni.env(), nullptr, array);
    });
    EXPECT_EQ(result, 3);
    std::vector<jint> expected = values;
    expected[6] = 0x11;
    expected[7] = 0x40;
    expected[8] = 0xDC;
    expected[9] = 0xDC;
    EXPECT_EQ(jni.values(array), expected);
    const std::string before = "Dual Servo: i=0 Data=81 : 51\n"
                               "Dual Servo: i=1 Data=82 : 52\n"
                               "Dual Servo: i=2 Data=5 : 5\n"
                               "Dual Servo: i=3 Data=220 : dc\n"
                               "Dual Servo: i=4 Data=6 : 6\n"
                               "Dual Servo: i=5 Data=64 : 40\n"
                               "Dual Servo: i=6 Data=17 : 11\n"
                               "Dual Servo: i=7 Data=34 : 22\n";
    EXPECT_EQ(run.out.substr(0, before.size()), before);
    EXPECT_EQ(AfterEnabled(run.out), Joined(kDualLines, 10) + "Passing Write Data =51\n");
}

TEST(DualServoPwmMethod, AddressTestLooksAtTheWholeSlotButTheBusAtItsLowByte) {
    ServoRobot robot;
    FakeJni jni;
    std::vector<jint> values(255, 0);
    values[0] = 0x100;
    jintArray array = jni.array(values);
    BusRun run = RunOnBus(robot.build(),
                          [&] { Java_I2C_1DLN_dualServo_11500_1PWM(jni.env(), nullptr, array); });
    ASSERT_EQ(run.bus.size(), 1u);
    EXPECT_EQ(run.bus[0].rfind("write 0x00: -> 0x", 0), 0u) << run.bus[0];
    EXPECT_EQ(AfterEnabled(run.out), "DualServo_1500_PWM() failed\nPassing Write Data =100\n");
}

} // namespace
