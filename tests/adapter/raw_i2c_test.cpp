// Raw I2C operations against the simulator: exact output, slots and bus transfers.
#include "adapter/raw_i2c.h"
#include "support/captured_stdout.h"
#include "support/fake_jni.h"
#include "support/jni_exports.h"
#include "support/printed_lines.h"
#include "support/sim_session.h"

#include <gtest/gtest.h>

namespace {

const std::string kBlock = kAdapterInfo + "0\nfreq= 100000\nI2C Enabled\n";

// A device that answers reads with 0xA0, 0xA1, ... and remembers what was written.
class CountingDevice : public dlnsim::I2cDevice {
  public:
    bool write(std::span<const uint8_t> data, uint64_t) override {
        written.assign(data.begin(), data.end());
        return true;
    }
    bool read(std::span<uint8_t> data, uint64_t) override {
        for (size_t i = 0; i < data.size(); ++i)
            data[i] = static_cast<uint8_t>(0xA0 + i);
        return true;
    }
    std::vector<uint8_t> written;
};

TEST(RawI2c, ReadOfTwelveBytesPrintsEachAndEchoesSixteenSlots) {
    auto device = std::make_shared<CountingDevice>();
    SimSession session(dlnsim::SimBuilder().i2c(0x50, device));
    FakeJni jni;
    std::vector<jint> values(255, -1);
    values[0] = 0x50;
    values[1] = 12;
    jintArray array = jni.array(values);
    jint result = 0;
    std::string out =
        CaptureStdout([&] { result = Java_I2C_1DLN_read(jni.env(), nullptr, array); });
    EXPECT_EQ(result, 16);
    std::string expected = kBlock;
    for (int i = 0; i < 12; ++i)
        expected += std::to_string(0xA0 + i) + " a" + "0123456789ab"[i] + "\n";
    expected += "Passing Read Data =50\n";
    for (int i = 0; i < 16; ++i) {
        int value = i == 0 ? 0x50 : i == 1 ? 12 : i < 14 ? 0xA0 + i - 2 : -1;
        expected += "I2C Read Passing back  " + std::to_string(i) +
                    " address=" + std::to_string(value) + "\n";
    }
    EXPECT_EQ(out, expected);
    std::vector<jint> back = jni.values(array);
    EXPECT_EQ(std::vector<jint>(back.begin(), back.begin() + 11),
              (std::vector<jint>{0x50, 12, 0xA0, 0xA1, 0xA2, 0xA3, 0xA4, 0xA5, 0xA6, 0xA7, -1}));
    EXPECT_EQ(session.transfers(),
              (std::vector<std::string>{"R 50: a0 a1 a2 a3 a4 a5 a6 a7 a8 a9 aa ab"}));
}

TEST(RawI2c, WriteSendsLowBytesAndHandsThemBack) {
    auto device = std::make_shared<CountingDevice>();
    SimSession session(dlnsim::SimBuilder().i2c(0x21, device));
    FakeJni jni;
    std::vector<jint> values(255, 9);
    values[0] = 0x21;
    values[1] = 3;
    values[2] = 0x1FF;
    values[3] = 0x42;
    values[4] = -2;
    jintArray array = jni.array(values);
    jint result = 0;
    std::string out =
        CaptureStdout([&] { result = Java_I2C_1DLN_write(jni.env(), nullptr, array); });
    EXPECT_EQ(result, 3);
    EXPECT_EQ(out, kBlock + "255 ff\n66 42\n254 fe\nPassing Write Data =21\n");
    EXPECT_EQ(device->written, (std::vector<uint8_t>{0xFF, 0x42, 0xFE}));
    std::vector<jint> expected = values;
    expected[2] = 0xFF;
    expected[4] = 0xFE;
    EXPECT_EQ(jni.values(array), expected);
}

TEST(RawI2c, ZeroByteWriteIsABareAddressProbe) {
    auto device = std::make_shared<CountingDevice>();
    SimSession session(dlnsim::SimBuilder().i2c(0x21, device));
    I2cBytes written;
    std::string out = CaptureStdout([&] { written = WriteI2cBytes(0x21, 0, nullptr); });
    EXPECT_EQ(written.outcome, Outcome::Done);
    EXPECT_EQ(written.count, 0);
    EXPECT_EQ(out, kBlock);
    EXPECT_EQ(session.transfers(), (std::vector<std::string>{"W 21:"}));
}

TEST(RawI2c, ZeroByteReadIsIssuedAndPrintsNoDataLine) {
    auto device = std::make_shared<CountingDevice>();
    SimSession session(dlnsim::SimBuilder().i2c(0x21, device));
    FakeJni jni;
    std::vector<jint> values(255, 9);
    values[0] = 0x21;
    values[1] = 0;
    jintArray array = jni.array(values);
    jint result = 0;
    std::string out =
        CaptureStdout([&] { result = Java_I2C_1DLN_read(jni.env(), nullptr, array); });
    EXPECT_EQ(result, 4);
    EXPECT_EQ(out, kBlock +
                       "Passing Read Data =21\nI2C Read Passing back  0 address=33\n"
                       "I2C Read Passing back  1 address=0\nI2C Read Passing back  2 address=9\n"
                       "I2C Read Passing back  3 address=9\n");
    EXPECT_EQ(session.transfers(), (std::vector<std::string>{"R 21:"}));
}

TEST(RawI2c, FailedTransfersKeepTheSlotsAndRelease) {
    SimSession session{dlnsim::SimBuilder()};
    FakeJni jni;
    std::vector<jint> values(255, 7);
    values[0] = 0x33;
    values[1] = 2;
    jintArray readArray = jni.array(values);
    jintArray writeArray = jni.array(values);
    std::string out = CaptureStdout([&] {
        Java_I2C_1DLN_read(jni.env(), nullptr, readArray);
        Java_I2C_1DLN_write(jni.env(), nullptr, writeArray);
    });
    std::string readEcho = "Passing Read Data =33\n";
    for (int i = 0; i < 6; ++i)
        readEcho += "I2C Read Passing back  " + std::to_string(i) +
                    " address=" + std::to_string(values[i]) + "\n";
    EXPECT_EQ(out, kBlock + "DlnI2cMasterReadDevices() failed\n" + readEcho + kBlock +
                       "DlnI2cMasterWriteDevices() failed\nPassing Write Data =33\n");
    EXPECT_EQ(jni.values(readArray), values);
    EXPECT_EQ(jni.values(writeArray), values);
    std::vector<std::string> calls = session.calls();
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "DlnCloseHandle"), 2);
}

TEST(RawI2c, ScanTwiceListsTheDevicesAndZeroesTheRest) {
    SimSession session(dlnsim::SimBuilder()
                           .i2c(0x68, std::make_shared<CountingDevice>())
                           .i2c(0x08, std::make_shared<CountingDevice>())
                           .i2c(0x50, std::make_shared<CountingDevice>()));
    FakeJni jni;
    jintArray array = jni.array(std::vector<jint>(10, -1));
    std::string out = CaptureStdout([&] { Java_I2C_1DLN_i2cScan(jni.env(), nullptr, array); });
    std::string scan = kBlock + "Number of Devices: 3\n8 8\n80 50\n104 68\n";
    std::string echo = "Passing Count=10\nPassing 0 address=8\nPassing 1 address=80\n"
                       "Passing 2 address=104\n";
    for (int i = 3; i < 10; ++i)
        echo += "Passing " + std::to_string(i) + " address=0\n";
    EXPECT_EQ(out, scan + scan + echo);
    EXPECT_EQ(jni.values(array), (std::vector<jint>{8, 0x50, 0x68, 0, 0, 0, 0, 0, 0, 0}));
}

TEST(RawI2c, PrintWithoutI2cPortsStillScansAndReturnsTheDisconnectResult) {
    dlnsim::AdapterConfig config;
    config.i2cPortCount = 0;
    SimSession session(
        dlnsim::SimBuilder().adapter(config).i2c(0x10, std::make_shared<CountingDevice>()));
    int result = -1;
    std::string out = CaptureStdout([&] { result = PrintAdapterAndDevices(); });
    EXPECT_EQ(result, 0);
    // Port 0 does not exist, so every later call on it fails, and the scan is still made.
    EXPECT_EQ(out, "DLN-4M\n\nHardware Version:1.0.0.0\nserverVersion:0.3.1.0\n"
                   "libraryVersion:0.4.2.0\nCurrent DLN adapter has no I2C ports\n"
                   "DlnI2CMasterGetFrequency() function returns 0x43\n"
                   "DlnI2CMasterGetFrequency() failed\nfreq= 0\n"
                   "DlnI2cMasterEnable() function returns 0x43\nDlnI2cMasterEnable() failed\n"
                   "I2C Enabled\nDlnI2cMasterScanDevices() failed\n");
    std::vector<std::string> calls = session.calls();
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "DlnCloseHandle"), 1);
}

TEST(RawI2c, PrintWithoutServerReturns38) {
    int result = 0;
    std::string out = CaptureStdout([&] { result = PrintAdapterAndDevices(); });
    EXPECT_EQ(result, 38);
    EXPECT_EQ(out, "Failed to connect to local DLN server\n");
}

} // namespace
