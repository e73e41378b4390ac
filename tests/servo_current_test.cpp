// Servo current: 0xA2 twice with its waits, the four-byte reply, which results are judged and
// when, and the slots of one and two boards.
#include "boards/servo_current.h"
#include "dlnsim/models/servo_board.h"
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

constexpr uint8_t kFirst = 0x51;
constexpr uint8_t kSecond = 0x52;

std::shared_ptr<dlnsim::Simulator> TwoServoBoards(const std::vector<dlnsim::Fault> &faults = {}) {
    dlnsim::SimBuilder builder;
    builder.i2c(kFirst, std::make_shared<dlnsim::ServoBoard>(
                            dlnsim::ServoBoardConfig{.id = 0x61, .current = 0x33}));
    builder.i2c(kSecond, std::make_shared<dlnsim::ServoBoard>(
                             dlnsim::ServoBoardConfig{.id = 0x62, .current = 0x44}));
    for (const dlnsim::Fault &fault : faults)
        builder.fault(fault);
    return builder.build();
}

const Lines kTwoBoardBus = {
    "write 0x51: a2", "wait 100", "write 0x51: a2", "wait 100", "read 0x51: 61 33 05 dc",
    "write 0x52: a2", "wait 100", "write 0x52: a2", "wait 100", "read 0x52: 62 44 05 dc"};

struct CurrentCall {
    int32_t second = kSecond;
    int32_t results[4] = {11, 22, 33, 44}; // slots 6 to 9
    int status = 1234;
    BusRun run;
    void call(const std::vector<dlnsim::Fault> &faults = {}) {
        run = RunOnBus(TwoServoBoards(faults),
                       [&] { status = DualServo_1500_Current(second, results, kFirst); });
    }
    Slots slots() const { return Slots(results, results + 4); }
};

TEST(ServoCurrent, TwoBoardsGiveTheirCurrentsAndClearSlotsEightAndNine) {
    CurrentCall current;
    current.call();
    EXPECT_EQ(current.run.bus, kTwoBoardBus);
    EXPECT_EQ(AfterEnabled(current.run.out), "SERVO  0 Current =33 \nSERVO  1 Current =44 \n");
    EXPECT_EQ(current.slots(), (Slots{0x33, 0x44, 0, 0}));
    EXPECT_EQ(current.status, 0);
}

TEST(ServoCurrent, SecondAddressZeroReadsOnlyTheFirstBoard) {
    CurrentCall current;
    current.second = 0;
    current.call();
    EXPECT_EQ(current.run.bus, Lines(kTwoBoardBus.begin(), kTwoBoardBus.begin() + 5));
    EXPECT_EQ(AfterEnabled(current.run.out), "SERVO  0 Current =33 \n");
    EXPECT_EQ(current.slots(), (Slots{0x33, 22, 33, 44}));
    EXPECT_EQ(current.status, 0);
    EXPECT_EQ(current.run.trace.back().call, "DlnDisconnect");
}

TEST(ServoCurrent, OnlyTheRepeatedCommandAndTheReplyAreJudged) {
    struct Case {
        dlnsim::Fault fault;
        size_t busLength; // the failed transfer replaces the success bus entry before the end
        size_t failedEntry;
        Slots slots;
        std::string printed;
    };
    const std::string failed = "DualServo_1500_Current() failed\n";
    const std::string firstLine = "SERVO  0 Current =33 \n";
    const Case cases[] = {
        // A failed first 0xA2 goes unnoticed.
        {{"DlnI2cMasterWrite", 0x4F, 1},
         10,
         0,
         {0x33, 0x44, 0, 0},
         firstLine + "SERVO  1 Current =44 \n"},
        {{"DlnI2cMasterWrite", 0x4F, 3},
         10,
         5,
         {0x33, 0x44, 0, 0},
         firstLine + "SERVO  1 Current =44 \n"},
        // The repeated 0xA2 fails only after its wait.
        {{"DlnI2cMasterWrite", 0x4F, 2}, 4, 2, {11, 22, 33, 44}, failed},
        {{"DlnI2cMasterRead", 0x4F, 1}, 5, 4, {11, 22, 33, 44}, failed},
        {{"DlnI2cMasterWrite", 0x4F, 4}, 9, 7, {0x33, 22, 33, 44}, firstLine + failed},
        {{"DlnI2cMasterRead", 0x4F, 2}, 10, 9, {0x33, 22, 33, 44}, firstLine + failed},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.fault.call + " #" + std::to_string(c.fault.nth));
        CurrentCall current;
        current.call({c.fault});
        Lines bus(kTwoBoardBus.begin(), kTwoBoardBus.begin() + c.busLength);
        const std::string &entry = bus[c.failedEntry];
        bus[c.failedEntry] = entry.substr(0, entry.find(':') + 1) + " -> 0x4f";
        EXPECT_EQ(current.run.bus, bus);
        EXPECT_EQ(current.slots(), c.slots);
        EXPECT_EQ(AfterEnabled(current.run.out), c.printed);
        EXPECT_EQ(current.status, c.printed.ends_with(failed) ? -1 : 0);
        EXPECT_EQ(current.run.trace.back().call, "DlnDisconnect");
    }
}

std::string PassingAddresses(const std::vector<jint> &values) {
    char line[64];
    snprintf(line, sizeof line, "Passing Write Data =%x\n", static_cast<unsigned>(values[0]));
    std::string text = line;
    for (int i = 0; i < 10; ++i)
        text += "Passing " + std::to_string(i) + " address=" + std::to_string(values[i]) + "\n";
    return text;
}

TEST(ServoCurrentMethod, AddressZeroPrintsItsLinesAndTouchesNoAdapter) {
    FakeJni jni;
    std::vector<jint> values = {0, kSecond, 2, 3, 4, 5, 6, 7, 8, 9};
    values.resize(255, 1);
    jintArray array = jni.array(values);
    jint result = 0;
    BusRun run = RunOnBus(TwoServoBoards(), [&] {
        result = Java_I2C_1DLN_dualServo_11500_1Current(jni.env(), nullptr, array);
    });
    EXPECT_EQ(result, 3);
    EXPECT_TRUE(run.trace.empty());
    EXPECT_EQ(jni.values(array), values);
    EXPECT_EQ(run.out, "Dual Servo: i=0 Data=0 : 0\n"
                       "Dual Servo: i=1 Data=82 : 52\n"
                       "Dual Servo: i=2 Data=2 : 2\n"
                       "Dual Servo: i=3 Data=3 : 3\n"
                       "Dual Servo: i=4 Data=4 : 4\n"
                       "Dual Servo: i=5 Data=5 : 5\n"
                       "I2C Address Zero. Nothing to be done.\n" +
                           PassingAddresses(values));
}

TEST(ServoCurrentMethod, HandsTheCurrentsBackInSlotsSixToNine) {
    FakeJni jni;
    std::vector<jint> values = {kFirst, kSecond, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    values.resize(255, 1);
    jintArray array = jni.array(values);
    jint result = 0;
    BusRun run = RunOnBus(TwoServoBoards(), [&] {
        result = Java_I2C_1DLN_dualServo_11500_1Current(jni.env(), nullptr, array);
    });
    std::vector<jint> expected = values;
    expected[6] = 0x33;
    expected[7] = 0x44;
    expected[8] = 0;
    expected[9] = 0;
    EXPECT_EQ(result, 3);
    EXPECT_EQ(jni.values(array), expected);
    EXPECT_EQ(run.out.rfind("Dual Servo: i=0 Data=81 : 51\n", 0), 0u);
    EXPECT_EQ(run.out.find("Dual Servo: i=6"), std::string::npos);
    EXPECT_EQ(AfterEnabled(run.out),
              "SERVO  0 Current =33 \nSERVO  1 Current =44 \n" + PassingAddresses(expected));
}

} // namespace
