// ADC/DAC board: four channel commands carrying the same output value, the second read of each
// giving the channel, channels kept up to a failure.
#include "boards/adc_dac.h"
#include "boards/board_rig.h"
#include "dlnsim/models/adc_dac_board.h"
#include "support/board_exports.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

using Lines = std::vector<std::string>;

constexpr uint8_t kBoard = 0x48;

struct AdcRobot {
    std::shared_ptr<dlnsim::AdcDacBoard> board = std::make_shared<dlnsim::AdcDacBoard>(
        dlnsim::AdcDacBoardConfig{.inputs = {0x10, 0x20, 0x30, 0x40}});
    BoardRig rig() const { return BoardRig().board(kBoard, board); }
};

// The first read after a channel command clocks out the previous conversion, which the
// operation does not look at.
// clang-format off
const Lines kAdcDacBus = {"W 48: 40 ff", "R 48: 80", "R 48: 10",
                    "W 48: 41 ff", "R 48: 10", "R 48: 20",
                    "W 48: 42 ff", "R 48: 20", "R 48: 30",
                    "W 48: 43 ff", "R 48: 30", "R 48: 40"};
// clang-format on
const Lines kLines = {"ADC 1 =10 \n", "ADC 2 =20 \n", "ADC 3 =30 \n", "ADC 4 =40 \n"};

std::string Joined(size_t count) {
    std::string text;
    for (size_t i = 0; i < count; ++i)
        text += kLines[i];
    return text;
}

std::string Echo(const Slots &slots) {
    std::string echo = "Passing ADCs DAC  Data =48\n";
    for (int i = 0; i < 10; ++i)
        echo += "Passing " + std::to_string(i) + " value=" + std::to_string(slots[i]) + "\n";
    return echo;
}

TEST(AdcDac, ReadsFourChannelsSendingTheOutputValueLowByteEachTime) {
    AdcRobot robot;
    AdcDacReading reading;
    BusRun run = robot.rig().run([&] { reading = ADCs_DAC_Exchange(kBoard, 0x1FF); });
    EXPECT_EQ(run.bus, kAdcDacBus);
    EXPECT_EQ(AfterEnabled(run.out), Joined(4));
    EXPECT_EQ(reading.outcome, Outcome::Done);
    EXPECT_EQ(reading.channelsRead, 4);
    EXPECT_EQ(std::vector<uint8_t>(reading.channels, reading.channels + 4),
              (std::vector<uint8_t>{0x10, 0x20, 0x30, 0x40}));
    EXPECT_EQ(robot.board->output(), 0xFF);
}

// Through the method: the slots of the channels read before a failure hold them, the rest
// come back as they went in.
TEST(AdcDac, AFailureKeepsTheChannelsReadBeforeIt) {
    for (int channel = 0; channel < 4; ++channel) {
        for (bool atWrite : {true, false}) {
            SCOPED_TRACE("channel " + std::to_string(channel + 1) + (atWrite ? " write" : " read"));
            AdcRobot robot;
            const dlnsim::Fault fault =
                atWrite
                    ? dlnsim::Fault{"DlnI2cMasterWrite", 0x4F, static_cast<uint32_t>(channel + 1)}
                    : dlnsim::Fault{"DlnI2cMasterRead", 0x4F,
                                    static_cast<uint32_t>(2 * channel + 2)};
            const Slots in = SlotsOf({kBoard, 0x1FF, -1, -2, -3, -4, 6, 7, 8, 9});
            MethodCall call = robot.rig().fault(fault).call(Java_I2C_1DLN_adcsdac, in);
            Slots expected = in;
            for (int n = 0; n < channel; ++n)
                expected[2 + n] = 0x10 * (n + 1);
            EXPECT_EQ(call.array, expected);
            EXPECT_EQ(call.result, 10);
            EXPECT_EQ(AfterEnabled(call.run.out),
                      Joined(channel) +
                          (atWrite ? "DlnI2cMasterWriteDevices() failed\n"
                                   : "DlnI2cMasterReadDevices() failed\n") +
                          Echo(expected));
            EXPECT_EQ(call.run.bus.size(), 3u * channel + (atWrite ? 1 : 3));
            EXPECT_EQ(call.run.trace.back().call, "DlnDisconnect");
        }
    }
}

TEST(AdcDac, AFailedFirstReadGoesUnnoticed) {
    AdcRobot robot;
    AdcDacReading reading;
    BusRun run = robot.rig().fault({"DlnI2cMasterRead", 0x4F, 5}).run([&] {
        reading = ADCs_DAC_Exchange(kBoard, 0x1FF);
    });
    EXPECT_EQ(run.bus[7], "R 48: -> 0x4f (failed)");
    EXPECT_EQ(run.bus[8], "R 48: 20");
    // The failed read clocked nothing out, so channel 3 gets the conversion before it.
    EXPECT_EQ(std::vector<uint8_t>(reading.channels, reading.channels + 4),
              (std::vector<uint8_t>{0x10, 0x20, 0x20, 0x40}));
    EXPECT_EQ(AfterEnabled(run.out), "ADC 1 =10 \nADC 2 =20 \nADC 3 =20 \nADC 4 =40 \n");
    EXPECT_EQ(reading.outcome, Outcome::Done);
}

TEST(AdcDacMethod, EchoesTenSlotsAndReturnsTen) {
    AdcRobot robot;
    const Slots in = SlotsOf({kBoard, 0x80, 2, 3, 4, 5, 6, 7, 8, 9, 10}, 1);
    MethodCall call = robot.rig().call(Java_I2C_1DLN_adcsdac, in);
    Slots expected = in;
    for (int n = 0; n < 4; ++n)
        expected[2 + n] = 0x10 * (n + 1);
    EXPECT_EQ(call.result, 10);
    EXPECT_EQ(call.array, expected);
    EXPECT_EQ(AfterEnabled(call.run.out), Joined(4) + Echo(expected));
    EXPECT_EQ(robot.board->output(), 0x80);
}

} // namespace
