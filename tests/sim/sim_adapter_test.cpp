// The simulated adapter seen through the C interface: identification, I2C dispatch, SPI
// settings and transfers, fault injection, and the trace of every call.
#include "dln_api.h"
#include "dln_inproc.h"
#include "dlnsim/models/register_device.h"
#include "dlnsim/session.h"
#include "dlnsim/trace.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <stdexcept>
#include <unistd.h>

using namespace dlnsim;

namespace {

// An SPI device that answers each byte with its complement and remembers what it got.
class ComplementSpi : public SpiDevice {
  public:
    void transfer(std::span<const uint8_t> out, std::span<uint8_t> in, uint64_t) override {
        received.insert(received.end(), out.begin(), out.end());
        for (size_t i = 0; i < out.size(); ++i)
            in[i] = static_cast<uint8_t>(~out[i]);
    }
    std::string decodeTransfer(std::span<const uint8_t> out) const override {
        return "complement of " + std::to_string(out.size()) + " bytes";
    }
    void finish() override { ++finished; }
    std::vector<uint8_t> received;
    int finished = 0;
};

// An I2C device that never acknowledges.
class DeafDevice : public I2cDevice {
  public:
    bool write(std::span<const uint8_t>, uint64_t) override { return false; }
    bool read(std::span<uint8_t>, uint64_t) override { return false; }
};

// An I2C device whose model has a bug.
class BrokenDevice : public I2cDevice {
  public:
    bool write(std::span<const uint8_t>, uint64_t) override { throw std::out_of_range("page 9"); }
    bool read(std::span<uint8_t>, uint64_t) override { return true; }
};

class SimAdapterTest : public ::testing::Test {
  protected:
    void TearDown() override {
        if (handle_ != 0)
            DlnDisconnect("localhost", 9656);
        DlnInprocDetach();
    }
    // Attaches sim, connects, opens adapter 0 and clears the trace.
    void start(std::shared_ptr<Simulator> sim) {
        sim_ = std::move(sim);
        DlnInprocAttach(sim_);
        ASSERT_EQ(DlnConnect("localhost", 9656), DLN_RES_SUCCESS);
        ASSERT_EQ(DlnOpenDevice(0, &handle_), DLN_RES_SUCCESS);
        sim_->clearTrace();
    }
    std::shared_ptr<Simulator> sim_;
    HDLN handle_ = 0;
};

struct Expected {
    std::string call;
    int address;
    std::vector<uint8_t> out;
    std::vector<uint8_t> in;
    uint16_t result;
};

std::string Hex(const std::vector<uint8_t> &bytes) {
    std::string text;
    char byte[4];
    for (uint8_t b : bytes) {
        std::snprintf(byte, sizeof byte, "%02x ", b);
        text += byte;
    }
    return "[" + text + "]";
}

// Compares the trace with the expected transactions, naming the step that differs.
void ExpectTrace(const Simulator &sim, const std::vector<Expected> &expected) {
    auto trace = sim.trace();
    ASSERT_EQ(trace.size(), expected.size());
    for (size_t i = 0; i < trace.size(); ++i) {
        const TraceEntry &got = trace[i];
        const Expected &want = expected[i];
        EXPECT_EQ(got.call, want.call) << "step " << i;
        EXPECT_EQ(got.address, want.address) << "step " << i << " " << want.call;
        EXPECT_EQ(got.out, want.out) << "step " << i << " " << want.call << " out: expected "
                                     << Hex(want.out) << ", got " << Hex(got.out);
        EXPECT_EQ(got.in, want.in) << "step " << i << " " << want.call << " in: expected "
                                   << Hex(want.in) << ", got " << Hex(got.in);
        EXPECT_EQ(got.result, want.result) << "step " << i << " " << want.call;
    }
}

TEST_F(SimAdapterTest, VersionAndPortsComeFromTheAdapterConfig) {
    AdapterConfig config;
    config.hardwareType = 0x0402;
    config.hardwareVersion = 0xFF010203;
    config.firmwareVersion = 5;
    config.serverVersion = 6;
    config.libraryVersion = 7;
    config.i2cPortCount = 2;
    config.spiPortCount = 3;
    config.i2cFrequency = 400000;
    config.spiFrequency = 2000000;
    start(SimBuilder().adapter(config).build());

    DLN_VERSION version{};
    ASSERT_EQ(DlnGetVersion(handle_, &version), DLN_RES_SUCCESS);
    EXPECT_EQ(version.hardwareType, 0x0402u);
    EXPECT_EQ(version.hardwareVersion, 0xFF010203u);
    EXPECT_EQ(version.firmwareVersion, 5u);
    EXPECT_EQ(version.serverVersion, 6u);
    EXPECT_EQ(version.libraryVersion, 7u);
    uint8_t count = 0;
    uint32_t frequency = 0;
    uint16_t conflict = 0xFFFF;
    EXPECT_EQ(DlnI2cMasterGetPortCount(handle_, &count), DLN_RES_SUCCESS);
    EXPECT_EQ(count, 2);
    EXPECT_EQ(DlnSpiMasterGetPortCount(handle_, &count), DLN_RES_SUCCESS);
    EXPECT_EQ(count, 3);
    EXPECT_EQ(DlnI2cMasterGetFrequency(handle_, 1, &frequency), DLN_RES_SUCCESS);
    EXPECT_EQ(frequency, 400000u);
    EXPECT_EQ(DlnSpiMasterGetFrequency(handle_, 2, &frequency), DLN_RES_SUCCESS);
    EXPECT_EQ(frequency, 2000000u);
    EXPECT_EQ(DlnI2cMasterEnable(handle_, 0, &conflict), DLN_RES_SUCCESS);
    EXPECT_EQ(conflict, 0);
}

TEST_F(SimAdapterTest, PortsBeyondTheCountAreRefused) {
    start(SimBuilder().i2c(0x50, std::make_shared<RegisterDevice>()).build());
    uint32_t frequency = 0;
    uint16_t conflict = 0;
    uint8_t byte = 0, list[256];
    EXPECT_EQ(DlnI2cMasterGetFrequency(handle_, 1, &frequency), DLN_RES_INVALID_PORT);
    EXPECT_EQ(DlnI2cMasterEnable(handle_, 1, &conflict), DLN_RES_INVALID_PORT);
    EXPECT_EQ(DlnI2cMasterScanDevices(handle_, 1, &byte, list), DLN_RES_INVALID_PORT);
    EXPECT_EQ(DlnI2cMasterWrite(handle_, 1, 0x50, 0, 0, 1, &byte), DLN_RES_INVALID_PORT);
    EXPECT_EQ(DlnSpiMasterSetMode(handle_, 1, 0), DLN_RES_INVALID_PORT);
    EXPECT_EQ(DlnSpiMasterReadWrite(handle_, 255, 1, &byte, &byte), DLN_RES_INVALID_PORT);
    EXPECT_EQ(sim_->trace().size(), 6u); // refused by the adapter, so traced
}

TEST_F(SimAdapterTest, RegisterDeviceRoundTripAndTrace) {
    start(SimBuilder().i2c(0x50, std::make_shared<RegisterDevice>()).build());
    const uint8_t write[] = {0xFE, 0x11, 0x22, 0x33}; // wraps past 0xFF
    const uint8_t pointer[] = {0xFE};
    uint8_t read[3] = {};
    ASSERT_EQ(DlnI2cMasterWrite(handle_, 0, 0x50, 0, 0, 4, write), DLN_RES_SUCCESS);
    ASSERT_EQ(DlnI2cMasterWrite(handle_, 0, 0x50, 0, 0, 1, pointer), DLN_RES_SUCCESS);
    ASSERT_EQ(DlnI2cMasterRead(handle_, 0, 0x50, 0, 0, 3, read), DLN_RES_SUCCESS);
    EXPECT_EQ(std::vector<uint8_t>(read, read + 3), (std::vector<uint8_t>{0x11, 0x22, 0x33}));
    auto device = std::static_pointer_cast<RegisterDevice>(sim_->i2cDevice(0x50));
    EXPECT_EQ(device->reg(0x00), 0x33);
    EXPECT_EQ(device->pointer(), 0x01);
    ExpectTrace(*sim_, {{"DlnI2cMasterWrite", 0x50, {0xFE, 0x11, 0x22, 0x33}, {}, 0},
                        {"DlnI2cMasterWrite", 0x50, {0xFE}, {}, 0},
                        {"DlnI2cMasterRead", 0x50, {}, {0x11, 0x22, 0x33}, 0}});
    EXPECT_EQ(sim_->trace()[0].note, "reg 0xfe = 11 22 33");
}

TEST_F(SimAdapterTest, MemoryAddressGoesOutBeforeTheData) {
    start(SimBuilder().i2c(0x50, std::make_shared<RegisterDevice>()).build());
    const uint8_t data[] = {0xAB, 0xCD};
    uint8_t read[2] = {};
    ASSERT_EQ(DlnI2cMasterWrite(handle_, 0, 0x50, 1, 0x40, 2, data), DLN_RES_SUCCESS);
    ASSERT_EQ(DlnI2cMasterRead(handle_, 0, 0x50, 1, 0x40, 2, read), DLN_RES_SUCCESS);
    EXPECT_EQ(read[0], 0xAB);
    EXPECT_EQ(read[1], 0xCD);
    EXPECT_EQ(DlnI2cMasterWrite(handle_, 0, 0x50, 5, 0, 2, data), DLN_RES_INVALID_ARGUMENT);
    ExpectTrace(*sim_, {{"DlnI2cMasterWrite", 0x50, {0x40, 0xAB, 0xCD}, {}, 0},
                        {"DlnI2cMasterRead", 0x50, {0x40}, {0xAB, 0xCD}, 0},
                        {"DlnI2cMasterWrite", 0x50, {0xAB, 0xCD}, {}, DLN_RES_INVALID_ARGUMENT}});
}

TEST_F(SimAdapterTest, AbsentOrSilentDeviceNacks) {
    start(SimBuilder().i2c(0x30, std::make_shared<DeafDevice>()).build());
    uint8_t data[2] = {0x5A, 0x5A};
    struct Case {
        uint8_t address;
        DLN_RESULT expected;
    };
    for (Case c : {Case{0x31, DLN_RES_I2C_NACK}, Case{0x30, DLN_RES_I2C_NACK},
                   Case{0x80, DLN_RES_INVALID_ARGUMENT}}) {
        EXPECT_EQ(DlnI2cMasterWrite(handle_, 0, c.address, 0, 0, 2, data), c.expected)
            << int(c.address);
        EXPECT_EQ(DlnI2cMasterRead(handle_, 0, c.address, 0, 0, 2, data), c.expected)
            << int(c.address);
        EXPECT_EQ(data[0], 0x5A) << "a failed read must not hand bytes back";
    }
    EXPECT_EQ(sim_->trace().back().in, std::vector<uint8_t>{});
}

TEST_F(SimAdapterTest, ModelErrorFailsTheCallOnly) {
    start(SimBuilder().i2c(0x30, std::make_shared<BrokenDevice>()).build());
    uint8_t byte = 1;
    EXPECT_EQ(DlnI2cMasterWrite(handle_, 0, 0x30, 0, 0, 1, &byte), DLN_RES_FAIL);
    EXPECT_EQ(sim_->trace().back().note, "device model error: page 9");
    EXPECT_EQ(DlnI2cMasterRead(handle_, 0, 0x30, 0, 0, 1, &byte), DLN_RES_SUCCESS);
}

TEST_F(SimAdapterTest, ScanListsPresentAddressesAscending) {
    auto reg = [] { return std::make_shared<RegisterDevice>(); };
    start(SimBuilder().i2c(0x68, reg()).i2c(0x08, reg()).i2c(0x29, reg()).i2c(0x7F, reg()).build());
    uint8_t count = 0, list[256] = {};
    ASSERT_EQ(DlnI2cMasterScanDevices(handle_, 0, &count, list), DLN_RES_SUCCESS);
    ASSERT_EQ(count, 4);
    EXPECT_EQ(std::vector<uint8_t>(list, list + 4), (std::vector<uint8_t>{0x08, 0x29, 0x68, 0x7F}));
    EXPECT_EQ(list[4], 0);
}

// A session on sim with adapter 0 open, making requests without the wire encoding.
class OpenSession {
  public:
    explicit OpenSession(std::shared_ptr<Simulator> sim) : session_(std::move(sim)) {
        dln::wire::Request open;
        open.call = dln::wire::Call::OpenDevice;
        handle_ = static_cast<uint16_t>(session_.handle(open).words.at(0));
    }
    dln::wire::Reply call(dln::wire::Call call, uint8_t address, uint32_t value = 0,
                          std::vector<uint8_t> data = {}) {
        dln::wire::Request request;
        request.call = call;
        request.handle = handle_;
        request.address = address;
        request.value = value;
        request.length = static_cast<uint16_t>(data.size());
        request.data = std::move(data);
        return session_.handle(request);
    }

  private:
    Session session_;
    uint16_t handle_ = 0;
};

TEST(SpiClock, ActualFrequencyIsTheLargestEvenDivisionNotAboveTheRequest) {
    struct Case {
        uint32_t requested, actual;
    };
    const Case cases[] = {
        {1000000, 1000000},
        {24000000, 24000000},
        {100000000, 24000000},
        {23999999, 12000000},
        {7000000, 6000000},
        {1, 732},
        {0, 732},
        {0xFFFFFFFF, 24000000},
        {732, 732},
        {733, 732},
        {1500000, 1500000},
        {1400000, 1333333},
    };
    OpenSession session(SimBuilder().build());
    for (Case c : cases)
        EXPECT_EQ(session.call(dln::wire::Call::SpiSetFrequency, 0, c.requested).words,
                  std::vector<uint32_t>{c.actual})
            << c.requested;
}

TEST(SpiSelect, LowestClearedBitSelects) {
    SimBuilder builder;
    std::shared_ptr<ComplementSpi> lines[8];
    for (uint8_t line = 0; line < 8; ++line)
        builder.spi(line, lines[line] = std::make_shared<ComplementSpi>());
    OpenSession session(builder.build());
    struct Case {
        uint8_t mask;
        int line; // -1: no line selected, the idle bus reads ones
    };
    const Case cases[] = {
        {0xFE, 0}, {0xFB, 2}, {0x7F, 7}, {0xF5, 1} /* lines 1 and 3 cleared */, {0xFF, -1}};
    for (Case c : cases) {
        for (auto &line : lines)
            line->received.clear();
        ASSERT_EQ(session.call(dln::wire::Call::SpiSetSS, c.mask).result, DLN_RES_SUCCESS);
        auto reply = session.call(dln::wire::Call::SpiReadWrite, 0, 0, {0x0F});
        EXPECT_EQ(reply.data, std::vector<uint8_t>{uint8_t(c.line < 0 ? 0xFF : 0xF0)})
            << int(c.mask);
        for (int line = 0; line < 8; ++line)
            EXPECT_EQ(lines[line]->received.size(), line == c.line ? 1u : 0u)
                << "mask " << int(c.mask) << ", line " << line;
    }
}

TEST_F(SimAdapterTest, SpiModeFrequencyAndSelect) {
    auto line2 = std::make_shared<ComplementSpi>();
    start(SimBuilder().spi(2, line2).build());
    uint8_t mode = 0xFF;
    uint32_t actual = 0, frequency = 0;
    EXPECT_EQ(DlnSpiMasterSetMode(handle_, 0, 3), DLN_RES_SUCCESS);
    EXPECT_EQ(DlnSpiMasterGetMode(handle_, 0, &mode), DLN_RES_SUCCESS);
    EXPECT_EQ(mode, 3);
    EXPECT_EQ(DlnSpiMasterSetMode(handle_, 0, 4), DLN_RES_INVALID_ARGUMENT);
    EXPECT_EQ(DlnSpiMasterGetMode(handle_, 0, &mode), DLN_RES_SUCCESS);
    EXPECT_EQ(mode, 3);
    EXPECT_EQ(DlnSpiMasterSetFrequency(handle_, 0, 7000000, &actual), DLN_RES_SUCCESS);
    EXPECT_EQ(actual, 6000000u);
    EXPECT_EQ(DlnSpiMasterGetFrequency(handle_, 0, &frequency), DLN_RES_SUCCESS);
    EXPECT_EQ(frequency, 6000000u);

    const uint8_t out[3] = {0x00, 0x0F, 0xA5};
    uint8_t in[3] = {};
    sim_->clearTrace();
    ASSERT_EQ(DlnSpiMasterSetSS(handle_, 0, 0xFB), DLN_RES_SUCCESS);
    ASSERT_EQ(DlnSpiMasterReadWrite(handle_, 0, 3, out, in), DLN_RES_SUCCESS);
    EXPECT_EQ(std::vector<uint8_t>(in, in + 3), (std::vector<uint8_t>{0xFF, 0xF0, 0x5A}));
    ASSERT_EQ(DlnSpiMasterSetSS(handle_, 0, 0xFE), DLN_RES_SUCCESS); // line 0: nobody there
    ASSERT_EQ(DlnSpiMasterReadWrite(handle_, 0, 3, out, in), DLN_RES_SUCCESS);
    EXPECT_EQ(std::vector<uint8_t>(in, in + 3), (std::vector<uint8_t>{0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(line2->received, std::vector<uint8_t>(out, out + 3));
    ExpectTrace(*sim_,
                {{"DlnSpiMasterSetSS", 0xFB, {}, {}, 0},
                 {"DlnSpiMasterReadWrite", 0xFB, {0x00, 0x0F, 0xA5}, {0xFF, 0xF0, 0x5A}, 0},
                 {"DlnSpiMasterSetSS", 0xFE, {}, {}, 0},
                 {"DlnSpiMasterReadWrite", 0xFE, {0x00, 0x0F, 0xA5}, {0xFF, 0xFF, 0xFF}, 0}});
    EXPECT_EQ(sim_->trace()[1].note, "complement of 3 bytes");
}

TEST_F(SimAdapterTest, FaultOnTheNthCallOnly) {
    auto device = std::make_shared<RegisterDevice>();
    start(SimBuilder().i2c(0x50, device).fault({"DlnI2cMasterWrite", DLN_RES_I2C_NACK, 2}).build());
    for (uint8_t i = 1; i <= 4; ++i) {
        const uint8_t data[] = {i, i};
        EXPECT_EQ(DlnI2cMasterWrite(handle_, 0, 0x50, 0, 0, 2, data),
                  i == 2 ? DLN_RES_I2C_NACK : DLN_RES_SUCCESS)
            << "call " << int(i);
    }
    EXPECT_EQ(device->reg(2), 0) << "a failed call must not reach the device";
    EXPECT_EQ(device->reg(3), 3);
    EXPECT_EQ(sim_->trace()[1].note, "injected fault");
    EXPECT_TRUE(sim_->trace()[1].out.empty()) << "a refused call puts nothing on the bus";
    EXPECT_EQ(sim_->injectedFaults(), 1u);
}

TEST_F(SimAdapterTest, FaultOnEveryCallAndOtherCallsUnaffected) {
    start(SimBuilder().fault({"DlnI2cMasterEnable", 0x4F, 0}).build());
    uint16_t conflict = 0;
    uint8_t count = 0;
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(DlnI2cMasterEnable(handle_, 0, &conflict), 0x4F);
    EXPECT_EQ(DlnSpiMasterEnable(handle_, 0, &conflict), DLN_RES_SUCCESS);
    EXPECT_EQ(DlnI2cMasterGetPortCount(handle_, &count), DLN_RES_SUCCESS);
    EXPECT_EQ(sim_->injectedFaults(), 3u);
}

TEST(SimFaults, ConnectAndOpenCanFail) {
    auto sim = SimBuilder()
                   .fault({"DlnConnect", DLN_RES_FAIL, 1})
                   .fault({"DlnOpenDevice", DLN_RES_FAIL, 1})
                   .build();
    DlnInprocAttach(sim);
    EXPECT_EQ(DlnConnect("localhost", 9656), DLN_RES_FAIL);
    EXPECT_EQ(DlnDisconnect("localhost", 9656), DLN_RES_NOT_CONNECTED); // not counted
    ASSERT_EQ(DlnConnect("localhost", 9656), DLN_RES_SUCCESS);
    HDLN handle = 0;
    EXPECT_EQ(DlnOpenDevice(0, &handle), DLN_RES_FAIL);
    EXPECT_EQ(DlnOpenDevice(0, &handle), DLN_RES_SUCCESS);
    EXPECT_EQ(DlnDisconnect("localhost", 9656), DLN_RES_SUCCESS);
    DlnInprocDetach();
}

TEST(SimFinish, FinishesEveryDeviceOnce) {
    auto a = std::make_shared<ComplementSpi>(), b = std::make_shared<ComplementSpi>();
    auto sim = SimBuilder().spi(0, a).spi(7, b).build();
    sim->finish();
    sim->finish();
    EXPECT_EQ(a->finished, 1);
    EXPECT_EQ(b->finished, 1);
}

TEST(SimTrace, LineShowsCallPortAddressBytesResultAndNote) {
    TraceEntry entry;
    entry.timeUs = 12000345;
    entry.call = "DlnI2cMasterWrite";
    entry.port = 0;
    entry.address = 0x50;
    entry.out = {0x00, 0x11, 0x22};
    entry.note = "reg 0x00 = 11 22";
    EXPECT_EQ(FormatTraceLine(entry),
              "12.000345 DlnI2cMasterWrite port=0 addr=0x50 out=[00 11 22] result=0x00 ; "
              "reg 0x00 = 11 22");
    entry = {};
    entry.timeUs = 5;
    entry.call = "DlnSpiMasterReadWrite";
    entry.port = 0;
    entry.address = 0xFE;
    entry.out = {0x9F};
    entry.in = {0xFF};
    entry.result = 0x4F;
    EXPECT_EQ(
        FormatTraceLine(entry),
        "0.000005 DlnSpiMasterReadWrite port=0 ss=0xfe out=[9f] in=[ff] result=0x4f (failed)");
    entry = {};
    entry.call = "DlnGetVersion";
    entry.result = 0x41;
    EXPECT_EQ(FormatTraceLine(entry), "0.000000 DlnGetVersion result=0x41 (invalid handle)");
}

TEST(SimTrace, FileGetsOneLinePerCallAndClockIsInjectable) {
    std::string path = ::testing::TempDir() + std::to_string(getpid()) + "_dlnsim_trace_test.txt";
    uint64_t now = 1500000;
    auto sim = SimBuilder()
                   .i2c(0x50, std::make_shared<RegisterDevice>())
                   .clock([&] { return now; })
                   .traceFile(path)
                   .build();
    DlnInprocAttach(sim);
    ASSERT_EQ(DlnConnect("h", 1), DLN_RES_SUCCESS);
    HDLN handle = 0;
    ASSERT_EQ(DlnOpenDevice(0, &handle), DLN_RES_SUCCESS);
    now = 2000001;
    uint8_t byte = 0x07;
    EXPECT_EQ(DlnI2cMasterWrite(handle, 0, 0x51, 0, 0, 1, &byte), DLN_RES_I2C_NACK);
    EXPECT_EQ(DlnDisconnect("h", 1), DLN_RES_SUCCESS);
    DlnInprocDetach();
    sim->finish();

    std::ifstream file(path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(file, line);)
        lines.push_back(line);
    EXPECT_EQ(lines,
              (std::vector<std::string>{
                  "1.500000 DlnConnect result=0x00",
                  "1.500000 DlnOpenDevice result=0x00 ; handle 1",
                  "2.000001 DlnI2cMasterWrite port=0 addr=0x51 out=[07] result=0x44 (I2C NACK)",
                  "2.000001 DlnDisconnect result=0x00",
              }));
    std::remove(path.c_str());
}

TEST(SimTrace, LimitKeepsTheNewestEntries) {
    auto sim = SimBuilder().traceLimit(2).build();
    Session session(sim);
    for (int i = 0; i < 5; ++i) {
        dln::wire::Request request;
        request.call = i % 2 ? dln::wire::Call::Connect : dln::wire::Call::Disconnect;
        session.handle(request);
    }
    auto trace = sim->trace();
    ASSERT_EQ(trace.size(), 2u);
    EXPECT_EQ(trace[0].call, "DlnConnect");
    EXPECT_EQ(trace[1].call, "DlnDisconnect");
}

TEST(SimSessions, HandlesBelongToTheirSession) {
    auto sim = SimBuilder().build();
    Session a(sim), b(sim);
    dln::wire::Request open;
    open.call = dln::wire::Call::OpenDevice;
    auto reply = a.handle(open);
    ASSERT_EQ(reply.result, DLN_RES_SUCCESS);
    dln::wire::Request version;
    version.call = dln::wire::Call::GetVersion;
    version.handle = static_cast<uint16_t>(reply.words.at(0));
    EXPECT_EQ(b.handle(version).result, DLN_RES_INVALID_HANDLE);
    EXPECT_EQ(a.handle(version).result, DLN_RES_SUCCESS);
}

// One client cannot use up the adapter's handles: past its own limit its open fails as when
// every handle is taken, while another client still opens; a closed handle frees a place.
TEST(SimSessions, HandlesAreLimitedPerSession) {
    auto sim = SimBuilder().build();
    Session greedy(sim), other(sim);
    dln::wire::Request open;
    open.call = dln::wire::Call::OpenDevice;
    uint32_t last = 0;
    for (int i = 0; i < 1000; ++i) {
        auto reply = greedy.handle(open);
        ASSERT_EQ(reply.result, DLN_RES_SUCCESS) << "open " << i;
        last = reply.words.at(0);
    }
    EXPECT_EQ(greedy.handle(open).result, DLN_RES_FAIL);
    EXPECT_EQ(other.handle(open).result, DLN_RES_SUCCESS);
    dln::wire::Request close;
    close.call = dln::wire::Call::CloseHandle;
    close.handle = static_cast<uint16_t>(last);
    ASSERT_EQ(greedy.handle(close).result, DLN_RES_SUCCESS);
    EXPECT_EQ(greedy.handle(open).result, DLN_RES_SUCCESS);
}

} // namespace
