// The simulated robot boards answer in their byte protocols, each answer predictable from the
// board's configuration and what it was sent.
#include "dlnsim/models/adc_dac_board.h"
#include "dlnsim/models/motor_board.h"
#include "dlnsim/models/servo_board.h"
#include "dlnsim/models/ultrasonic_ranger.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

// Writes each of sends in turn and reads readLength bytes after each.
std::vector<Bytes> Converse(dlnsim::I2cDevice &device, const std::vector<Bytes> &sends,
                            size_t readLength, uint64_t nowUs = 0) {
    std::vector<Bytes> answers;
    for (const Bytes &send : sends) {
        EXPECT_TRUE(device.write(send, nowUs));
        Bytes answer(readLength);
        EXPECT_TRUE(device.read(answer, nowUs));
        answers.push_back(answer);
    }
    return answers;
}

TEST(ServoBoardModel, AnswersEveryByteOfItsCommands) {
    dlnsim::ServoBoard board({.id = 0x61, .current = 0x33, .parameter = 0x07, .pulseWidth = 1500});
    const std::vector<Bytes> answers =
        Converse(board, {{0xA3}, {0x11}, {0xA3}, {0x12}, {0xA1}, {0x07}, {0xD0}, {0x5A}}, 1);
    EXPECT_EQ(answers,
              (std::vector<Bytes>{{0x07}, {0x11}, {0x11}, {0x12}, {0x61}, {0x07}, {0xD0}, {0xFF}}));
    EXPECT_EQ(board.parameter(), 0x12);
    EXPECT_EQ(board.pulseWidth(), 0x07D0);
}

TEST(ServoBoardModel, CurrentAnswerCarriesTheKeptPulseWidth) {
    dlnsim::ServoBoard board({.id = 0x61, .current = 0x33, .parameter = 0, .pulseWidth = 1500});
    EXPECT_EQ(Converse(board, {{0xA2}}, 4)[0], (Bytes{0x61, 0x33, 0x05, 0xDC}));
    // A command byte sent as a pulse-width byte is data, not a command.
    Converse(board, {{0xA1}, {0xA2}, {0xA3}}, 1);
    EXPECT_EQ(board.pulseWidth(), 0xA2A3);
    // A one-byte read gets the first byte; past the answer the bus reads 0xFF.
    EXPECT_EQ(Converse(board, {{0xA2}}, 1)[0], Bytes{0x61});
    EXPECT_EQ(Converse(board, {{0xA3}}, 3)[0], (Bytes{0x00, 0xFF, 0xFF}));
}

TEST(AdcDacBoardModel, FirstReadAfterAChannelChangeGivesThePreviousConversion) {
    dlnsim::AdcDacBoard board({.inputs = {0x10, 0x20, 0x30, 0x40}, .output = 0});
    const std::vector<Bytes> answers =
        Converse(board, {{0x40, 0x99}, {0x41, 0x98}, {0x43, 0x97}, {0x42}}, 2);
    EXPECT_EQ(answers,
              (std::vector<Bytes>{{0x80, 0x10}, {0x10, 0x20}, {0x20, 0x40}, {0x40, 0x30}}));
    // The last write carried no output value and the one before set it.
    EXPECT_EQ(board.output(), 0x97);
    EXPECT_TRUE(board.outputEnabled());
    Converse(board, {{0x01, 0x55}}, 1);
    EXPECT_FALSE(board.outputEnabled());
    EXPECT_EQ(board.output(), 0x97);
}

TEST(AdcDacBoardModel, InputWiredToTheOutputConvertsTheOutputWhileItIsEnabled) {
    dlnsim::AdcDacBoard board(
        {.inputs = {0x10, 0x20, 0x30, 0x40}, .output = 0, .outputLoopChannel = 4});
    EXPECT_EQ(Converse(board, {{0x43, 0x9C}, {0x43, 0x21}}, 2),
              (std::vector<Bytes>{{0x80, 0x9C}, {0x9C, 0x21}}));
    // With the output disabled the wire carries nothing; the input reads its own value.
    EXPECT_EQ(Converse(board, {{0x03}}, 2)[0], (Bytes{0x21, 0x40}));
}

TEST(UltrasonicRangerModel, AnswersTemperatureAndBothRangeBytes) {
    dlnsim::UltrasonicRanger ranger({.temperature = 0x17, .distanceCm = 0x0234, .measureMs = 0});
    const std::vector<Bytes> answers =
        Converse(ranger, {{0xF1, 0xF1}, {0xF4, 0xF4}, {0xF5, 0xF5}, {0xF4, 0xF5}, {0xF4}}, 4);
    EXPECT_EQ(answers, (std::vector<Bytes>{{0x17, 0xFF, 0xFF, 0xFF},
                                           {0xF4, 0x34, 0x02, 0x2A},
                                           {0xF5, 0x02, 0x34, 0x2B},
                                           {0xFF, 0xFF, 0xFF, 0xFF},
                                           {0xFF, 0xFF, 0xFF, 0xFF}}));
}

TEST(UltrasonicRangerModel, IsBusyUntilTheMeasurementTimeHasPassed) {
    dlnsim::UltrasonicRanger ranger({.temperature = 0x17, .distanceCm = 0x0234, .measureMs = 60});
    ASSERT_TRUE(ranger.write(Bytes{0xF4, 0xF4}, 1'000'000));
    Bytes answer(4);
    ranger.read(answer, 1'059'999);
    EXPECT_EQ(answer, (Bytes{0xFF, 0xFF, 0xFF, 0xFF}));
    ranger.read(answer, 1'060'000);
    EXPECT_EQ(answer, (Bytes{0xF4, 0x34, 0x02, 0x2A}));
}

TEST(MotorBoardModel, RemembersTheParameterAndAnswersTheSpeed) {
    dlnsim::MotorBoard board({.speed = 0x5A, .parameter = 0});
    const std::vector<Bytes> answers = Converse(board, {{0xC1}, {0x03}, {0xC0}, {0x77}}, 2);
    EXPECT_EQ(answers,
              (std::vector<Bytes>{{0xC1, 0xFF}, {0x03, 0x00}, {0x03, 0x5A}, {0xFF, 0xFF}}));
    EXPECT_EQ(board.parameter(), 0x03);
}

} // namespace
