// Servo current: 0xA2 twice with its waits, the four-byte reply, which results are judged and
// when, and the slots of one and two boards.
#include "boards/board_rig.h"
#include "boards/servo_current.h"
#include "dlnsim/models/servo_board.h"
#include "support/board_exports.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

using Lines = std::vector<std::string>;

BoardRig TwoServoBoards() {
    return BoardRig()
        .board(kFirstServoBoard, std::make_shared<dlnsim::ServoBoard>(
                                     dlnsim::ServoBoardConfig{.id = 0x61, .current = 0x33}))
        .board(kSecondServoBoard, std::make_shared<dlnsim::ServoBoard>(
                                      dlnsim::ServoBoardConfig{.id = 0x62, .current = 0x44}));
}

const Lines kTwoBoardBus = {"W 51: a2", "wait 100", "W 51: a2", "wait 100", "R 51: 61 33 05 dc",
                            "W 52: a2", "wait 100", "W 52: a2", "wait 100", "R 52: 62 44 05 dc"};

// Slots 0 to 9 with the two boards and recognisable values in slots 6 to 9.
Slots CurrentSlots(jint second = kSecondServoBoard) {
    return SlotsOf({kFirstServoBoard, second, 2, 3, 4, 5, 11, 22, 33, 44}, 1);
}

std::string PassingAddresses(const Slots &values) {
    char line[64];
    snprintf(line, sizeof line, "Passing Write Data =%x\n", static_cast<unsigned>(values[0]));
    std::string text = line;
    for (int i = 0; i < 10; ++i)
        text += "Passing " + std::to_string(i) + " address=" + std::to_string(values[i]) + "\n";
    return text;
}

TEST(ServoCurrent, TwoBoardsGiveTheirCurrents) {
    ServoCurrentReading reading;
    BusRun run = TwoServoBoards().run(
        [&] { reading = DualServo_1500_Current(kSecondServoBoard, kFirstServoBoard); });
    EXPECT_EQ(run.bus, kTwoBoardBus);
    EXPECT_EQ(AfterEnabled(run.out), "SERVO  0 Current =33 \nSERVO  1 Current =44 \n");
    EXPECT_EQ(reading.outcome, Outcome::Done);
    EXPECT_EQ(reading.boardsRead, 2);
    EXPECT_EQ(reading.currents[0], 0x33);
    EXPECT_EQ(reading.currents[1], 0x44);
}

// Through the method, so that the slots each case leaves are checked too.
TEST(ServoCurrent, OnlyTheRepeatedCommandAndTheReplyAreJudged) {
    struct Case {
        dlnsim::Fault fault;
        size_t busLength; // the failed transfer replaces the success bus entry before the end
        size_t failedEntry;
        Slots results; // slots 6 to 9
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
        MethodCall call = TwoServoBoards().fault(c.fault).call(
            Java_I2C_1DLN_dualServo_11500_1Current, CurrentSlots());
        Lines bus(kTwoBoardBus.begin(), kTwoBoardBus.begin() + c.busLength);
        const std::string &entry = bus[c.failedEntry];
        bus[c.failedEntry] = entry.substr(0, entry.find(':') + 1) + " -> 0x4f (failed)";
        EXPECT_EQ(call.run.bus, bus);
        Slots expected = CurrentSlots();
        std::copy(c.results.begin(), c.results.end(), expected.begin() + 6);
        EXPECT_EQ(call.array, expected);
        EXPECT_EQ(AfterEnabled(call.run.out), c.printed + PassingAddresses(expected));
        EXPECT_EQ(call.run.trace.back().call, "DlnDisconnect");
    }
}

TEST(ServoCurrentMethod, AddressZeroPrintsItsLinesAndTouchesNoAdapter) {
    const Slots in = SlotsOf({0, kSecondServoBoard, 2, 3, 4, 5, 6, 7, 8, 9}, 1);
    MethodCall call = TwoServoBoards().call(Java_I2C_1DLN_dualServo_11500_1Current, in);
    EXPECT_EQ(call.result, 3);
    EXPECT_TRUE(call.run.trace.empty());
    EXPECT_EQ(call.array, in);
    EXPECT_EQ(call.run.out, "Dual Servo: i=0 Data=0 : 0\n"
                            "Dual Servo: i=1 Data=82 : 52\n"
                            "Dual Servo: i=2 Data=2 : 2\n"
                            "Dual Servo: i=3 Data=3 : 3\n"
                            "Dual Servo: i=4 Data=4 : 4\n"
                            "Dual Servo: i=5 Data=5 : 5\n"
                            "I2C Address Zero. Nothing to be done.\n" +
                                PassingAddresses(in));
}

TEST(ServoCurrentMethod, TwoBoardsGiveSlotsSixAndSevenAndClearEightAndNine) {
    MethodCall call = TwoServoBoards().call(Java_I2C_1DLN_dualServo_11500_1Current, CurrentSlots());
    Slots expected = CurrentSlots();
    expected[6] = 0x33;
    expected[7] = 0x44;
    expected[8] = 0;
    expected[9] = 0;
    EXPECT_EQ(call.result, 3);
    EXPECT_EQ(call.array, expected);
    EXPECT_EQ(call.run.out.rfind("Dual Servo: i=0 Data=81 : 51\n", 0), 0u);
    EXPECT_EQ(call.run.out.find("Dual Servo: i=6"), std::string::npos);
    EXPECT_EQ(AfterEnabled(call.run.out),
              "SERVO  0 Current =33 \nSERVO  1 Current =44 \n" + PassingAddresses(expected));
}

TEST(ServoCurrentMethod, SecondAddressZeroReadsOnlyTheFirstBoard) {
    MethodCall call =
        TwoServoBoards().call(Java_I2C_1DLN_dualServo_11500_1Current, CurrentSlots(0));
    EXPECT_EQ(call.run.bus, Lines(kTwoBoardBus.begin(), kTwoBoardBus.begin() + 5));
    Slots expected = CurrentSlots(0);
    expected[6] = 0x33;
    EXPECT_EQ(call.array, expected);
    EXPECT_EQ(AfterEnabled(call.run.out), "SERVO  0 Current =33 \n" + PassingAddresses(expected));
    EXPECT_EQ(call.run.trace.back().call, "DlnDisconnect");
}

} // namespace
