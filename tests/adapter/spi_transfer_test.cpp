// The SPI transfer through its native method against the simulator: exact output, the slots
// handed back, and what reached the bus.
#include "adapter/spi_transfer.h"
#include "dlnsim/models/spi_eeprom.h"
#include "dlnsim/models/spi_loopback.h"
#include "support/captured_stdout.h"
#include "support/fake_jni.h"
#include "support/jni_exports.h"
#include "support/printed_lines.h"
#include "support/sim_session.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <thread>

namespace {

// Slots of a transfer of data on line ss at 1 MHz (0x0F4240).
std::vector<jint> TransferSlots(std::vector<jint> data, jint cpol, jint cpha, jint ss) {
    std::vector<jint> slots = {static_cast<jint>(data.size()), cpol, cpha, ss, 0x40, 0x42, 0x0F, 0};
    slots.insert(slots.end(), data.begin(), data.end());
    slots.resize(255, -1);
    return slots;
}

struct Expected {
    Expected(int mode, std::vector<int> received) : mode(mode), received(std::move(received)) {}
    int mode = 0;
    int modeRead = -1; // -1: as set
    long actual = 1000000;
    std::vector<int> received;
    std::string failures[5]; // after set mode, get mode, set frequency, set select, transfer
};

std::string Output(const Expected &e, int cpol, int cpha, int ss) {
    std::string out = "\n*******************\nSPI CPOL=" + std::to_string(cpol) +
                      " CPHA=" + std::to_string(cpha) + " SS=" + std::to_string(ss) +
                      " freqReques=1000000\n********\nConnecting to DLN Devices\n" + kAdapterInfo +
                      "0\nSPI Mode To Set=" + std::to_string(e.mode) + "\n" + e.failures[0] +
                      "SPI freq= 1000000\nSPI Enabled\n" + e.failures[1] +
                      "SPI Mode=" + std::to_string(e.modeRead < 0 ? e.mode : e.modeRead) + "\n" +
                      e.failures[2] +
                      "\n******************\nSPI Requested Frequency: 1000000  Actual "
                      "Frequency=" +
                      std::to_string(e.actual) + " \n****************\n" + e.failures[3] +
                      e.failures[4] + "SPI Read Write Okay\n";
    char line[48];
    for (size_t i = 0; i < e.received.size(); ++i) {
        snprintf(line, sizeof line, "SPI C READ:%zu\t%x\n", i, e.received[i]);
        out += line;
    }
    return out + "Passing Write Data =" + std::to_string(e.received.size()) + "\n";
}

dlnsim::SimBuilder Robot() {
    return dlnsim::SimBuilder()
        .spi(0, std::make_shared<dlnsim::SpiEeprom>())
        .spi(2, std::make_shared<dlnsim::SpiLoopback>());
}

TEST(SpiTransfer, LoopbackEchoesTheLowBytesIntoTheDataSlots) {
    SimSession session(Robot());
    FakeJni jni;
    jintArray array = jni.array(TransferSlots({0x1A5, 1, 2, 0x80, 0xFF}, 1, 1, 2));
    jint result = 0;
    std::string out =
        CaptureStdout([&] { result = Java_I2C_1DLN_spiWriteRead(jni.env(), nullptr, array); });
    EXPECT_EQ(result, 3);
    EXPECT_EQ(out, Output(Expected(3, {0xA5, 1, 2, 0x80, 0xFF}), 1, 1, 2));
    std::vector<jint> back = jni.values(array);
    EXPECT_EQ(std::vector<jint>(back.begin(), back.begin() + 14),
              (std::vector<jint>{5, 1, 1, 2, 0x40, 0x42, 0x0F, 0, 0xA5, 1, 2, 0x80, 0xFF, -1}));
    EXPECT_EQ(jni.calls.back(), "SetIntArrayRegion(0,13)");
    EXPECT_EQ(session.transfers(),
              (std::vector<std::string>{"S out: a5 01 02 80 ff in: a5 01 02 80 ff"}));
    std::vector<std::string> calls = session.calls();
    EXPECT_EQ(calls, (std::vector<std::string>{
                         "DlnConnect", "DlnOpenDevice", "DlnGetVersion", "DlnSpiMasterGetPortCount",
                         "DlnSpiMasterSetMode", "DlnSpiMasterGetFrequency", "DlnSpiMasterEnable",
                         "DlnSpiMasterGetMode", "DlnSpiMasterSetFrequency", "DlnSpiMasterSetSS",
                         "DlnSpiMasterReadWrite", "DlnCloseHandle", "DlnDisconnect"}));
}

TEST(SpiTransfer, SelectLineReachesTheDeviceOnThatLine) {
    struct Case {
        jint line;
        std::vector<int> received; // the loopback echoes, the EEPROM answers 0xFF
    };
    for (const Case &c : {Case{2, {0x9F, 0}}, Case{0, {0xFF, 0x20}}, Case{7, {0xFF, 0x20}},
                          Case{-1, {0xFF, 0x20}}}) {
        SimSession session(Robot());
        FakeJni jni;
        jintArray array = jni.array(TransferSlots({0x9F, 0}, 0, 1, c.line));
        std::string out =
            CaptureStdout([&] { Java_I2C_1DLN_spiWriteRead(jni.env(), nullptr, array); });
        EXPECT_EQ(out, Output(Expected(2, c.received), 0, 1, c.line)) << "line " << c.line;
    }
}

TEST(SpiTransfer, ZeroBytesStillMakeATransferAndHandBackEightSlots) {
    SimSession session(Robot());
    FakeJni jni;
    jintArray array = jni.array(TransferSlots({}, 0, 0, 2));
    std::string out = CaptureStdout([&] { Java_I2C_1DLN_spiWriteRead(jni.env(), nullptr, array); });
    EXPECT_EQ(out, Output(Expected(0, {}), 0, 0, 2));
    EXPECT_EQ(session.transfers(), (std::vector<std::string>{"S out: in:"}));
    EXPECT_EQ(jni.calls.back(), "SetIntArrayRegion(0,8)");
}

TEST(SpiTransfer, CountOutsideItsRangeIsRefusedWithoutTraffic) {
    for (jint count : {248, -1, 100000}) {
        SimSession session(Robot());
        FakeJni jni;
        std::vector<jint> slots = TransferSlots({}, 0, 0, 2);
        slots[0] = count;
        jintArray array = jni.array(slots);
        jint result = 0;
        std::string out =
            CaptureStdout([&] { result = Java_I2C_1DLN_spiWriteRead(jni.env(), nullptr, array); });
        EXPECT_EQ(result, 3);
        EXPECT_EQ(out, "spiWriteRead: byte count " + std::to_string(count) +
                           " is outside 0..247; nothing transferred\n");
        EXPECT_TRUE(session.calls().empty());
        EXPECT_EQ(jni.calls.back(), "SetIntArrayRegion(0,8)");
        EXPECT_EQ(jni.values(array), slots);
    }
}

TEST(SpiTransfer, EachFailedSettingIsReportedAndTheTransferGoesOn) {
    struct Case {
        const char *call;
        int failureIndex;
    };
    const Case cases[] = {{"DlnSpiMasterSetMode", 0},
                          {"DlnSpiMasterGetMode", 1},
                          {"DlnSpiMasterSetFrequency", 2},
                          {"DlnSpiMasterSetSS", 3},
                          {"DlnSpiMasterReadWrite", 4}};
    for (const Case &c : cases) {
        SimSession session(Robot().fault({.call = c.call, .code = 0x4F, .nth = 0}));
        FakeJni jni;
        jintArray array = jni.array(TransferSlots({7, 8}, 1, 0, 2));
        std::string out =
            CaptureStdout([&] { Java_I2C_1DLN_spiWriteRead(jni.env(), nullptr, array); });
        Expected e(1, {7, 8});
        e.failures[c.failureIndex] = FailedCallLines(c.call);
        if (c.failureIndex == 0)
            e.modeRead = 0; // the port kept its mode, and reading it back shows so
        if (c.failureIndex == 2)
            e.actual = 0;
        if (c.failureIndex == 3)
            e.received = {0xFF, 0xFF}; // line 0 stays selected: the EEPROM ignores the bytes
        if (c.failureIndex == 4)
            e.received = {0, 0}; // the receive buffer's zeros reach the slots
        EXPECT_EQ(out, Output(e, 1, 0, 2)) << c.call;
        EXPECT_EQ(jni.values(array)[8], e.received[0]) << c.call;
    }
}

TEST(SpiTransfer, WithoutAServerOnlyTheConnectFailureFollowsTheSettings) {
    FakeJni jni;
    std::vector<jint> slots = TransferSlots({1, 2, 3}, 0, 0, 1);
    jintArray array = jni.array(slots);
    std::string out = CaptureStdout([&] { Java_I2C_1DLN_spiWriteRead(jni.env(), nullptr, array); });
    EXPECT_EQ(out, "\n*******************\nSPI CPOL=0 CPHA=0 SS=1 freqReques=1000000\n********\n"
                   "Connecting to DLN Devices\nFailed to connect to local DLN server\n"
                   "Passing Write Data =3\n");
    EXPECT_EQ(jni.values(array), slots);
}

// Two threads on two lines: the line, mode and frequency are the adapter's state between
// calls, so without one owner of the SPI port a transfer would go out on the line the other
// thread just selected. Every transfer must reach its own device: the loopback echoes, the
// EEPROM answers its identification.
TEST(SpiTransfer, ConcurrentTransfersOnTwoLinesReachTheirOwnDevice) {
    SimSession session(Robot());
    const char *variable = std::getenv("SPI_RACE_TRANSFERS"); // a longer soak when set
    const int transfers = variable != nullptr ? std::atoi(variable) : 500;
    std::atomic<int> misdelivered{0};
    auto run = [&](int32_t line, std::vector<uint8_t> sent, std::vector<uint8_t> expected) {
        for (int i = 0; i < transfers; ++i) {
            SpiTransferRequest request;
            request.slaveSelect = line;
            request.cpha = line == 2 ? 1 : 0;
            request.frequency = line == 2 ? 2000000 : 1000000;
            request.count = static_cast<uint16_t>(sent.size());
            std::copy(sent.begin(), sent.end(), request.bytes);
            const SpiTransferResult result = SpiWriteRead(request);
            if (!std::equal(expected.begin(), expected.end(), result.received))
                ++misdelivered;
        }
    };
    CapturedStdout discarded;
    std::thread loopback(run, 2, std::vector<uint8_t>{0x9F, 0x11, 0x22, 0x33},
                         std::vector<uint8_t>{0x9F, 0x11, 0x22, 0x33});
    std::thread eeprom(run, 0, std::vector<uint8_t>{0x9F, 0, 0, 0},
                       std::vector<uint8_t>{0xFF, 0x20, 0x20, 0x10});
    loopback.join();
    eeprom.join();
    EXPECT_EQ(misdelivered.load(), 0) << "of " << 2 * transfers << " transfers";
}

} // namespace
