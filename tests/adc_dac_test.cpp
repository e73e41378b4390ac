// ADC/DAC board: four channel commands carrying the same output value, the second read of each
// giving the channel, channels kept up to a failure.
#include "boards/adc_dac.h"
#include "dlnsim/models/adc_dac_board.h"
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

constexpr uint8_t kBoard = 0x48;

struct AdcCall {
    std::shared_ptr<dlnsim::AdcDacBoard> board = std::make_shared<dlnsim::AdcDacBoard>(
        dlnsim::AdcDacBoardConfig{.inputs = {0x10, 0x20, 0x30, 0x40}});
    int32_t results[4] = {-1, -2, -3, -4}; // slots 2 to 5
    int status = 1234;
    BusRun run;
    void call(int32_t output, const std::vector<dlnsim::Fault> &faults = {}) {
        dlnsim::SimBuilder builder;
        builder.i2c(kBoard, board);
        for (const dlnsim::Fault &fault : faults)
            builder.fault(fault);
        run =
            RunOnBus(builder.build(), [&] { status = ADCs_DAC_Exchange(kBoard, output, results); });
    }
    Slots slots() const { return Slots(results, results + 4); }
};

// The first read after a channel command clocks out the previous conversion, which the
// operation does not look at.
const Lines kBus = {"write 0x48: 40 ff", "read 0x48: 80", "read 0x48: 10",
                    "write 0x48: 41 ff", "read 0x48: 10", "read 0x48: 20",
                    "write 0x48: 42 ff", "read 0x48: 20", "read 0x48: 30",
                    "write 0x48: 43 ff", "read 0x48: 30", "read 0x48: 40"};
const Lines kLines = {"ADC 1 =10 \n", "ADC 2 =20 \n", "ADC 3 =30 \n", "ADC 4 =40 \n"};

std::string Joined(size_t count) {
    std::string text;
    for (size_t i = 0; i < count; ++i)
        text += kLines[i];
    return text;
}

TEST(AdcDac, ReadsFourChannelsSendingTheOutputValueLowByteEachTime) {
    AdcCall adc;
    adc.call(0x1FF);
    EXPECT_EQ(adc.run.bus, kBus);
    EXPECT_EQ(AfterEnabled(adc.run.out), Joined(4));
    EXPECT_EQ(adc.slots(), (Slots{0x10, 0x20, 0x30, 0x40}));
    EXPECT_EQ(adc.board->output(), 0xFF);
    EXPECT_EQ(adc.status, 0);
}

TEST(AdcDac, AFailureKeepsTheChannelsReadBeforeIt) {
    for (int channel = 0; channel < 4; ++channel) {
        for (bool atWrite : {true, false}) {
            SCOPED_TRACE("channel " + std::to_string(channel + 1) + (atWrite ? " write" : " read"));
            AdcCall adc;
            adc.call(0x1FF, {atWrite ? dlnsim::Fault{"DlnI2cMasterWrite", 0x4F,
                                                     static_cast<uint32_t>(channel + 1)}
                                     : dlnsim::Fault{"DlnI2cMasterRead", 0x4F,
                                                     static_cast<uint32_t>(2 * channel + 2)}});
            Slots expected = {-1, -2, -3, -4};
            for (int n = 0; n < channel; ++n)
                expected[n] = 0x10 * (n + 1);
            EXPECT_EQ(adc.slots(), expected);
            EXPECT_EQ(AfterEnabled(adc.run.out),
                      Joined(channel) + (atWrite ? "DlnI2cMasterWriteDevices() failed\n"
                                                 : "DlnI2cMasterReadDevices() failed\n"));
            EXPECT_EQ(adc.run.bus.size(), 3u * channel + (atWrite ? 1 : 3));
            EXPECT_EQ(adc.status, -1);
            EXPECT_EQ(adc.run.trace.back().call, "DlnDisconnect");
        }
    }
}

TEST(AdcDac, AFailedFirstReadGoesUnnoticed) {
    AdcCall adc;
    adc.call(0x1FF, {{"DlnI2cMasterRead", 0x4F, 5}});
    EXPECT_EQ(adc.run.bus[7], "read 0x48: -> 0x4f");
    EXPECT_EQ(adc.run.bus[8], "read 0x48: 20");
    // The failed read clocked nothing out, so channel 3's slot gets the conversion before it.
    EXPECT_EQ(adc.slots(), (Slots{0x10, 0x20, 0x20, 0x40}));
    EXPECT_EQ(AfterEnabled(adc.run.out), "ADC 1 =10 \nADC 2 =20 \nADC 3 =20 \nADC 4 =40 \n");
    EXPECT_EQ(adc.status, 0);
}

TEST(AdcDacMethod, EchoesTenSlotsAndReturnsTen) {
    AdcCall adc;
    FakeJni jni;
    std::vector<jint> values = {kBoard, 0x80, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    values.resize(255, 1);
    jintArray array = jni.array(values);
    jint result = 0;
    dlnsim::SimBuilder builder;
    builder.i2c(kBoard, adc.board);
    BusRun run = RunOnBus(builder.build(),
                          [&] { result = Java_I2C_1DLN_adcsdac(jni.env(), nullptr, array); });
    std::vector<jint> expected = values;
    for (int n = 0; n < 4; ++n)
        expected[2 + n] = 0x10 * (n + 1);
    EXPECT_EQ(result, 10);
    EXPECT_EQ(jni.values(array), expected);
    std::string echo = "Passing ADCs DAC  Data =48\n";
    for (int i = 0; i < 10; ++i)
        echo += "Passing " + std::to_string(i) + " value=" + std::to_string(expected[i]) + "\n";
    EXPECT_EQ(AfterEnabled(run.out), Joined(4) + echo);
    EXPECT_EQ(adc.board->output(), 0x80);
}

} // namespace
