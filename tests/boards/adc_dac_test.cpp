// ADC/DAC board: four channel commands carrying the same output value, the second read of each
// giving the channel, channels kept up to a failure.
#include "boards/adc_dac.h"
#include "boards/board_rig.h"
#include "dlnsim/models/adc_dac_board.h"
#include "support/board_exports.h"
#include "support/captured_stdout.h"
#include "support/fake_jni.h"
#include "support/sim_session.h"

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

// The first read after a channel command clocks out the previous conversion, whose byte the
// operation does not use.
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
// come back as they went in. A failed first read counts like a failed second one: the second
// read would otherwise hand out the previous channel's conversion as this channel's.
TEST(AdcDac, AFailureKeepsTheChannelsReadBeforeIt) {
    enum Step { kWrite, kFirstRead, kSecondRead };
    for (int channel = 0; channel < 4; ++channel) {
        for (Step step : {kWrite, kFirstRead, kSecondRead}) {
            SCOPED_TRACE("channel " + std::to_string(channel + 1) + " step " +
                         std::to_string(step));
            AdcRobot robot;
            const dlnsim::Fault fault =
                step == kWrite
                    ? dlnsim::Fault{"DlnI2cMasterWrite", 0x4F, static_cast<uint32_t>(channel + 1)}
                    : dlnsim::Fault{"DlnI2cMasterRead", 0x4F,
                                    static_cast<uint32_t>(2 * channel + step)};
            const Slots in = SlotsOf({kBoard, 0x1FF, -1, -2, -3, -4, 6, 7, 8, 9});
            MethodCall call = robot.rig().fault(fault).call(Java_I2C_1DLN_adcsdac, in);
            Slots expected = in;
            for (int n = 0; n < channel; ++n)
                expected[2 + n] = 0x10 * (n + 1);
            EXPECT_EQ(call.array, expected);
            EXPECT_EQ(call.result, 10);
            EXPECT_EQ(AfterEnabled(call.run.out),
                      Joined(channel) +
                          (step == kWrite ? "DlnI2cMasterWriteDevices() failed\n"
                                          : "DlnI2cMasterReadDevices() failed\n") +
                          Echo(expected));
            EXPECT_EQ(call.run.bus.size(), 3u * channel + 1 + step);
            EXPECT_EQ(call.run.trace.back().call, "DlnDisconnect");
        }
    }
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

// Under random NACKs and failed calls, a channel slot the method changed holds that channel's
// own conversion: a failure anywhere shows as a slot left as it went in, never as another
// channel's value.
TEST(AdcDacMethod, UnderRandomFaultsEveryChangedSlotHoldsItsOwnChannel) {
    AdcRobot robot;
    SimSession session(dlnsim::SimBuilder()
                           .i2c(kBoard, robot.board)
                           .randomFaults({.seed = 23,
                                          .rate = 0.05,
                                          .calls = {},
                                          .nack = true,
                                          .fail = true,
                                          .flip = false}));
    int wrong = 0;
    int failed = 0;
    for (int call = 0; call < 500; ++call) {
        FakeJni jni;
        jintArray array = jni.array(SlotsOf({kBoard, 0x80, -1, -1, -1, -1}));
        CaptureStdout([&] { Java_I2C_1DLN_adcsdac(jni.env(), nullptr, array); });
        const std::vector<jint> &slots = jni.values(array);
        for (int n = 0; n < 4; ++n) {
            if (slots[2 + n] == -1)
                ++failed;
            else if (slots[2 + n] != 0x10 * (n + 1))
                ++wrong;
        }
    }
    EXPECT_EQ(wrong, 0);
    EXPECT_GT(failed, 0) << "no fault reached a channel";
}

} // namespace
