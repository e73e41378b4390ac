// The servo PWM sequence: records four slots apart, every board's parameter before any pulse
// width, the refusal of counts that cannot fit the array.
#include "boards/board_rig.h"
#include "dlnsim/models/servo_board.h"
#include "support/board_exports.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

using dlnsim::ServoBoard;
using Lines = std::vector<std::string>;

struct SequenceRun {
    std::shared_ptr<ServoBoard> first =
        std::make_shared<ServoBoard>(dlnsim::ServoBoardConfig{.id = 0x61, .parameter = 0x07});
    std::shared_ptr<ServoBoard> second =
        std::make_shared<ServoBoard>(dlnsim::ServoBoardConfig{.id = 0x62, .parameter = 0x08});
    std::vector<jint> values;
    BusRun run;

    void call(const std::vector<dlnsim::Fault> &faults = {}) {
        MethodCall call = BoardRig()
                              .board(kFirstServoBoard, first)
                              .board(kSecondServoBoard, second)
                              .faults(faults)
                              .call(Java_I2C_1DLN_I2C_1Servo_1PWM_1Sequence, values);
        EXPECT_EQ(call.array, values) << "the array must come back as it went in";
        EXPECT_EQ(call.result, 3);
        run = call.run;
    }
};

// Two records: board 0x51 to 0x05DC, board 0x52 to 0x0640, parameter 0x0C for both.
std::vector<jint> TwoRecords() {
    std::vector<jint> values = {
        2, 0x0C, kFirstServoBoard, 0x05, 0xDC, 77, kSecondServoBoard, 0x06, 0x40, 88};
    values.resize(255, -1);
    return values;
}

std::string PassingLines(const std::vector<jint> &values) {
    char line[64];
    snprintf(line, sizeof line, "Passing Write Data =%x\n", static_cast<unsigned>(values[0]));
    std::string text = line;
    for (int i = 0; i < 10; ++i)
        text += "Passing " + std::to_string(i) + " address=" + std::to_string(values[i]) + "\n";
    return text;
}

// clang-format off
const Lines kTwoRecordBus = {
    "W 51: a3", "R 51: 07", "R 51: 07", "W 51: 0c", "R 51: 0c", "R 51: 0c",
    "W 52: a3", "R 52: 08", "R 52: 08", "W 52: 0c", "R 52: 0c", "R 52: 0c",
    "W 51: a1", "R 51: 61", "R 51: 61", "W 51: 05", "R 51: 05", "R 51: 05",
    "W 51: dc", "R 51: dc", "R 51: dc",
    "W 52: a1", "R 52: 62", "R 52: 62", "W 52: 06", "R 52: 06", "R 52: 06",
    "W 52: 40", "R 52: 40", "R 52: 40"};
// clang-format on

// The second pass prints the last board's answer to 0xA3 in every line.
const std::string kFirstPass = "SERVO  1 =7 \nServo Read 1 =7 \nSERVO  1 =8 \nServo Read 1 =8 \n";
const std::string kSecondPassBoard = "SERVO  1 =8 \nServo Read 1 =8 \nServo Read 1 =8 \n";

TEST(ServoSequence, EveryBoardTakesItsParameterBeforeAnyPulseWidth) {
    SequenceRun sequence;
    sequence.values = TwoRecords();
    sequence.call();
    EXPECT_EQ(sequence.run.bus, kTwoRecordBus);
    const std::string records =
        "Servo PWM Sequence servoNumber=0 Servo_I2C_Address: 51 Servo PWM MSB= 5 LSB=dc\n"
        "Servo PWM Sequence servoNumber=1 Servo_I2C_Address: 52 Servo PWM MSB= 6 LSB=40\n";
    EXPECT_EQ(sequence.run.out.substr(0, records.size()), records);
    EXPECT_EQ(AfterEnabled(sequence.run.out),
              kFirstPass + kSecondPassBoard + kSecondPassBoard + PassingLines(sequence.values));
    EXPECT_EQ(sequence.first->parameter(), 0x0C);
    EXPECT_EQ(sequence.second->parameter(), 0x0C);
    EXPECT_EQ(sequence.first->pulseWidth(), 0x05DC);
    EXPECT_EQ(sequence.second->pulseWidth(), 0x0640);
}

TEST(ServoSequence, RecordLinesShowWholeSlotsWhileTheBusGetsLowBytes) {
    SequenceRun sequence;
    sequence.values = TwoRecords();
    sequence.values[0] = 1;
    sequence.values[1] = 0x30C;
    sequence.values[2] = 0x151;
    sequence.values[3] = 0x205;
    sequence.call();
    EXPECT_EQ(sequence.run.out.rfind("Servo PWM Sequence servoNumber=0 Servo_I2C_Address: 151 "
                                     "Servo PWM MSB= 205 LSB=dc\n",
                                     0),
              0u);
    EXPECT_EQ(sequence.run.bus[0], "W 51: a3");
    EXPECT_EQ(sequence.run.bus[3], "W 51: 0c");
    EXPECT_EQ(sequence.first->pulseWidth(), 0x05DC);
}

TEST(ServoSequence, AFailedExchangeStopsBothPasses) {
    struct Case {
        dlnsim::Fault fault;
        size_t transfers;
        std::string printed;
        uint16_t firstPulseWidth; // the first board's pulse width afterwards
    };
    const Case cases[] = {
        // The second board's 0xA3 write: no board gets a pulse width.
        {{"DlnI2cMasterWrite", 0x4F, 3}, 7, "SERVO  1 =7 \nServo Read 1 =7 \n", 1500},
        // The second read of the second board's parameter byte.
        {{"DlnI2cMasterRead", 0x4F, 8}, 12, "SERVO  1 =7 \nServo Read 1 =7 \nSERVO  1 =8 \n", 1500},
        // Its first read: the same end, one read sooner.
        {{"DlnI2cMasterRead", 0x4F, 7}, 11, "SERVO  1 =7 \nServo Read 1 =7 \nSERVO  1 =8 \n", 1500},
        // The second read of the first board's low byte: it has its pulse width, the second
        // board gets nothing of the second pass.
        {{"DlnI2cMasterRead", 0x4F, 14},
         21,
         kFirstPass + "SERVO  1 =8 \nServo Read 1 =8 \n",
         0x05DC},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.fault.call + " #" + std::to_string(c.fault.nth));
        SequenceRun sequence;
        sequence.values = TwoRecords();
        sequence.call({c.fault});
        EXPECT_EQ(sequence.run.bus.size(), c.transfers);
        EXPECT_EQ(AfterEnabled(sequence.run.out),
                  c.printed + "Multi_Servo_1500_PWM() failed\n" + PassingLines(sequence.values));
        EXPECT_EQ(sequence.first->pulseWidth(), c.firstPulseWidth);
        EXPECT_EQ(sequence.second->pulseWidth(), 1500);
        EXPECT_EQ(sequence.run.trace.back().call, "DlnDisconnect");
    }
}

TEST(ServoSequence, ZeroOrNegativeCountOpensAndClosesTheAdapterOnly) {
    for (jint count : {0, -5}) {
        SequenceRun sequence;
        sequence.values = TwoRecords();
        sequence.values[0] = count;
        sequence.call();
        EXPECT_TRUE(sequence.run.bus.empty());
        EXPECT_EQ(sequence.run.out.find("Servo PWM Sequence"), std::string::npos);
        EXPECT_EQ(AfterEnabled(sequence.run.out), PassingLines(sequence.values));
        EXPECT_EQ(sequence.run.trace.back().call, "DlnDisconnect");
    }
}

TEST(ServoSequence, CountsBeyondTheArrayAreRefusedWithoutAdapterTraffic) {
    for (jint count : {64, 1000}) {
        SequenceRun sequence;
        sequence.values = TwoRecords();
        sequence.values[0] = count;
        sequence.call();
        EXPECT_TRUE(sequence.run.trace.empty());
        EXPECT_EQ(sequence.run.out, "I2C_Servo_PWM_Sequence: " + std::to_string(count) +
                                        " servo records do not fit in the array (at most 63). "
                                        "Nothing to be done.\n" +
                                        PassingLines(sequence.values));
    }
}

TEST(ServoSequence, SixtyThreeRecordsReachTheLastCopiedSlots) {
    SequenceRun sequence;
    sequence.values.assign(255, 0);
    sequence.values[0] = 63;
    sequence.values[1] = 0x0C;
    for (int i = 0; i < 63; ++i) {
        sequence.values[2 + 4 * i] = kFirstServoBoard;
        sequence.values[3 + 4 * i] = 0x05;
        sequence.values[4 + 4 * i] = 0xDC;
    }
    sequence.values[251] = 0x07; // the last record's high and low byte
    sequence.values[252] = 0xD0;
    sequence.call();
    EXPECT_EQ(sequence.run.bus.size(), 63u * 15);
    EXPECT_EQ(sequence.run.bus[sequence.run.bus.size() - 6], "W 51: 07");
    EXPECT_EQ(sequence.first->pulseWidth(), 0x07D0);
}

} // namespace
