// Ultrasonic ranger: three doubled commands each read after 100 ms, the fixed marker values,
// and where each failure is noticed relative to its wait.
#include "boards/ultrasonic.h"
#include "dlnsim/models/ultrasonic_ranger.h"
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

constexpr uint8_t kRanger = 0x70;

std::shared_ptr<dlnsim::Simulator> Ranger(const std::vector<dlnsim::Fault> &faults = {}) {
    dlnsim::SimBuilder builder;
    builder.i2c(kRanger, std::make_shared<dlnsim::UltrasonicRanger>(dlnsim::UltrasonicRangerConfig{
                             .temperature = 0x17, .distanceCm = 0x0234}));
    for (const dlnsim::Fault &fault : faults)
        builder.fault(fault);
    return builder.build();
}

const Lines kBus = {"write 0x70: f1 f1", "wait 100", "read 0x70: 17",
                    "write 0x70: f4 f4", "wait 100", "read 0x70: f4 34 02 2a",
                    "write 0x70: f5 f5", "wait 100", "read 0x70: f5 02 34 2b"};
const std::string kTemperature = "TEMP 1 =17 \n";
const std::string kLow = "SCAN LSB  2 =34 \n";

TEST(Ultrasonic, ReadsTemperatureAndBothRangeBytesWithTheirWaits) {
    int32_t results[4] = {-1, -2, -3, -4};
    int status = 1234;
    BusRun run = RunOnBus(Ranger(), [&] { status = Ultra_Sonic_Scan(kRanger, results); });
    EXPECT_EQ(run.bus, kBus);
    EXPECT_EQ(AfterEnabled(run.out), kTemperature + kLow + "SCAN MSB =2 \n");
    // The temperature is only printed; slots 2 and 5 carry fixed markers.
    EXPECT_EQ(Slots(results, results + 4), (Slots{237, 0x34, 0x02, 170}));
    EXPECT_EQ(status, 0);
}

TEST(Ultrasonic, EachFailureKeepsWhatWasStoredBeforeIt) {
    struct Case {
        dlnsim::Fault fault;
        size_t failedEntry;
        size_t busLength;
        Slots slots;
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
        int32_t results[4] = {-1, -2, -3, -4};
        int status = 1234;
        BusRun run =
            RunOnBus(Ranger({c.fault}), [&] { status = Ultra_Sonic_Scan(kRanger, results); });
        Lines bus(kBus.begin(), kBus.begin() + c.busLength);
        const std::string &entry = bus[c.failedEntry];
        bus[c.failedEntry] = entry.substr(0, entry.find(':') + 1) + " -> 0x4f";
        EXPECT_EQ(run.bus, bus);
        EXPECT_EQ(Slots(results, results + 4), c.slots);
        EXPECT_EQ(AfterEnabled(run.out), c.printed);
        EXPECT_EQ(status, -1);
        EXPECT_EQ(run.trace.back().call, "DlnDisconnect");
    }
}

TEST(UltrasonicMethod, EchoesTenSlotsAndReturnsTen) {
    FakeJni jni;
    std::vector<jint> values = {kRanger, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    values.resize(255, 1);
    jintArray array = jni.array(values);
    jint result = 0;
    BusRun run =
        RunOnBus(Ranger(), [&] { result = Java_I2C_1DLN_Ultra_1Sonic(jni.env(), nullptr, array); });
    std::vector<jint> expected = values;
    expected[2] = 237;
    expected[3] = 0x34;
    expected[4] = 0x02;
    expected[5] = 170;
    EXPECT_EQ(result, 10);
    EXPECT_EQ(jni.values(array), expected);
    std::string echo = "Passing SCAN 1825 Data =70\n";
    for (int i = 0; i < 10; ++i)
        echo += "Passing " + std::to_string(i) + " value=" + std::to_string(expected[i]) + "\n";
    EXPECT_EQ(AfterEnabled(run.out), kTemperature + kLow + "SCAN MSB =2 \n" + echo);
}

} // namespace
