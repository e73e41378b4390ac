// Ultrasonic ranger: three doubled commands each read after 100 ms, the fixed marker values,
// and where each failure is noticed relative to its wait.
#include "boards/board_rig.h"
#include "boards/ultrasonic.h"
#include "dlnsim/models/ultrasonic_ranger.h"
#include "support/board_exports.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

using Lines = std::vector<std::string>;

constexpr uint8_t kRanger = 0x70;

BoardRig Ranger() {
    return BoardRig().board(
        kRanger, std::make_shared<dlnsim::UltrasonicRanger>(
                     dlnsim::UltrasonicRangerConfig{.temperature = 0x17, .distanceCm = 0x0234}));
}

// clang-format off
const Lines kSonicBus = {"W 70: f1 f1", "wait 100", "R 70: 17",
                    "W 70: f4 f4", "wait 100", "R 70: f4 34 02 2a",
                    "W 70: f5 f5", "wait 100", "R 70: f5 02 34 2b"};
// clang-format on
const std::string kTemperature = "TEMP 1 =17 \n";
const std::string kLow = "SCAN LSB  2 =34 \n";

std::string Echo(const Slots &slots) {
    std::string echo = "Passing SCAN 1825 Data =70\n";
    for (int i = 0; i < 10; ++i)
        echo += "Passing " + std::to_string(i) + " value=" + std::to_string(slots[i]) + "\n";
    return echo;
}

TEST(Ultrasonic, ReadsTemperatureAndBothRangeBytesWithTheirWaits) {
    RangerReading reading;
    BusRun run = Ranger().run([&] { reading = Ultra_Sonic_Scan(kRanger); });
    EXPECT_EQ(run.bus, kSonicBus);
    EXPECT_EQ(AfterEnabled(run.out), kTemperature + kLow + "SCAN MSB =2 \n");
    EXPECT_EQ(reading.outcome, Outcome::Done);
    EXPECT_EQ(reading.valuesRead, 3);
    EXPECT_EQ(reading.temperature, 0x17);
    EXPECT_EQ(reading.rangeLow, 0x34);
    EXPECT_EQ(reading.rangeHigh, 0x02);
}

// Through the method: what was stored before a failure stays in its slot.
TEST(Ultrasonic, EachFailureKeepsWhatWasStoredBeforeIt) {
    struct Case {
        dlnsim::Fault fault;
        size_t failedEntry;
        size_t busLength;
        Slots results; // slots 2 to 5
        std::string printed;
    };
    const std::string writeFailed = "DlnI2cMasterWriteDevices() failed\n";
    const std::string readFailed = "DlnI2cMasterReadDevices() failed\n";
    const Case cases[] = {
        {{"DlnI2cMasterWrite", 0x4F, 1}, 0, 1, {-1, -2, -3, -4}, writeFailed},
        {{"DlnI2cMasterRead", 0x4F, 1}, 2, 3, {-1, -2, -3, -4}, readFailed},
        {{"DlnI2cMasterWrite", 0x4F, 2}, 3, 4, {0x17, -2, -3, -4}, kTemperature + writeFailed},
        {{"DlnI2cMasterRead", 0x4F, 2}, 5, 6, {0x17, -2, -3, -4}, kTemperature + readFailed},
        // The third write is judged only after its wait.
        {{"DlnI2cMasterWrite", 0x4F, 3},
         6,
         8,
         {0x17, 0x34, -3, -4},
         kTemperature + kLow + writeFailed},
        {{"DlnI2cMasterRead", 0x4F, 3},
         8,
         9,
         {0x17, 0x34, -3, -4},
         kTemperature + kLow + readFailed},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.fault.call + " #" + std::to_string(c.fault.nth));
        const Slots in = SlotsOf({kRanger, 1, -1, -2, -3, -4, 6, 7, 8, 9});
        MethodCall call = Ranger().fault(c.fault).call(Java_I2C_1DLN_Ultra_1Sonic, in);
        Lines bus(kSonicBus.begin(), kSonicBus.begin() + c.busLength);
        const std::string &entry = bus[c.failedEntry];
        bus[c.failedEntry] = entry.substr(0, entry.find(':') + 1) + " -> 0x4f (failed)";
        EXPECT_EQ(call.run.bus, bus);
        Slots expected = in;
        std::copy(c.results.begin(), c.results.end(), expected.begin() + 2);
        EXPECT_EQ(call.array, expected);
        EXPECT_EQ(AfterEnabled(call.run.out), c.printed + Echo(expected));
        EXPECT_EQ(call.result, 10);
        EXPECT_EQ(call.run.trace.back().call, "DlnDisconnect");
    }
}

TEST(UltrasonicMethod, FramesTheRangeWithItsMarkersAndReturnsTen) {
    const Slots in = SlotsOf({kRanger, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10}, 1);
    MethodCall call = Ranger().call(Java_I2C_1DLN_Ultra_1Sonic, in);
    Slots expected = in;
    expected[2] = 237; // the temperature is only printed
    expected[3] = 0x34;
    expected[4] = 0x02;
    expected[5] = 170;
    EXPECT_EQ(call.result, 10);
    EXPECT_EQ(call.array, expected);
    EXPECT_EQ(AfterEnabled(call.run.out), kTemperature + kLow + "SCAN MSB =2 \n" + Echo(expected));
}

} // namespace
