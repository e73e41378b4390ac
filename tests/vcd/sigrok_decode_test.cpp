// The waveforms as a logic analyser's decoders read them: Debian's sigrok-cli decodes the VCD
// of a run (drawn live, and again by dln-vcd from the run's trace) and of a recording, and
// every address, R/W bit, data byte and ACK/NACK must agree with the calls.
#include "call_record.h"
#include "dln_api.h"
#include "dln_inproc.h"
#include "dlnsim/bus_waveform.h"
#include "dlnsim/scenario.h"
#include "dlnsim/trace.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;

std::string RunCommand(const std::string &command) {
    std::unique_ptr<FILE, int (*)(FILE *)> pipe(popen((command + " 2>&1").c_str(), "r"), pclose);
    std::string out;
    std::array<char, 4096> buffer;
    size_t n;
    while (pipe && (n = fread(buffer.data(), 1, buffer.size(), pipe.get())) > 0)
        out.append(buffer.data(), n);
    return out;
}

// What sigrok-cli's decoder printed for decoder, one annotation a line, lower case, without
// the "i2c-1: " in front.
Lines Decode(const fs::path &vcd, const std::string &decoder, const std::string &annotations) {
    std::string out = RunCommand("sigrok-cli -l 1 -I vcd:compress=200000 -i '" + vcd.string() +
                                 "' -P " + decoder + " -A " + annotations);
    Lines lines;
    std::istringstream in(out);
    for (std::string line; std::getline(in, line);) {
        size_t colon = line.find(": ");
        EXPECT_NE(colon, std::string::npos) << "sigrok-cli: " << line;
        if (colon == std::string::npos)
            continue;
        for (char &c : line)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        lines.push_back(line.substr(colon + 2));
    }
    return lines;
}

const char *kI2c = "i2c:scl=i2c0_scl:sda=i2c0_sda";
const char *kI2cAnnotations =
    "i2c=start:repeat-start:stop:ack:nack:address-read:address-write:data-read:data-write";

Lines DecodeI2c(const fs::path &vcd) {
    return Decode(vcd, kI2c, kI2cAnnotations);
}

// The bytes of each transfer on a select line, decoded in one SPI mode.
Lines DecodeSpi(const fs::path &vcd, int line, int mode, const char *direction) {
    std::string decoder = "spi:clk=spi0_sclk:mosi=spi0_mosi:miso=spi0_miso:cs=spi0_cs" +
                          std::to_string(line) + ":cpol=" + std::to_string(mode & 1) +
                          ":cpha=" + std::to_string(mode >> 1);
    return Decode(vcd, decoder, std::string("spi=") + direction + "-transfer");
}

std::string Hex(uint8_t byte) {
    char text[4];
    std::snprintf(text, sizeof text, "%02x", byte);
    return text;
}

std::string Joined(const std::vector<uint8_t> &bytes) {
    return dlnsim::FormatBytes(bytes);
}

// What an I2C decoder must read from the bus for one traced transfer.
void ExpectI2c(const dlnsim::TraceEntry &call, Lines &expected) {
    bool read = call.call == "DlnI2cMasterRead";
    bool writeFirst = !read || !call.out.empty();
    std::string address = Hex(static_cast<uint8_t>(call.address));
    // The decoder names the R/W bit ("write", "read") before the address it belongs to.
    expected.insert(expected.end(),
                    {"start", writeFirst ? "write" : "read",
                     (writeFirst ? "address write: " : "address read: ") + address});
    if (call.result == DLN_RES_I2C_NACK) {
        expected.insert(expected.end(), {"nack", "stop"});
        return;
    }
    expected.push_back("ack");
    for (uint8_t byte : call.out)
        expected.insert(expected.end(), {"data write: " + Hex(byte), "ack"});
    if (read) {
        if (writeFirst)
            expected.insert(expected.end(),
                            {"start repeat", "read", "address read: " + address, "ack"});
        for (size_t i = 0; i < call.in.size(); ++i)
            expected.insert(expected.end(), {"data read: " + Hex(call.in[i]),
                                             i + 1 < call.in.size() ? "ack" : "nack"});
    }
    expected.push_back("stop");
}

class SigrokDecodeTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() / ("vcd-test-" + std::to_string(::getpid()));
        fs::create_directories(dir_);
    }
    void TearDown() override {
        if (std::getenv("VCD_TEST_KEEP") == nullptr)
            fs::remove_all(dir_);
    }
    fs::path dir_;
};

TEST_F(SigrokDecodeTest, DecodersAgreeWithTheTraceOnEveryByte) {
    dlnsim::SimBuilder builder = dlnsim::LoadScenario(
        R"({"i2c": [{"address": "0x50", "model": "register", "registers": {"0x10": "0x3c"}}],
            "spi": [{"ss": 0, "model": "loopback"}, {"ss": 1, "model": "loopback"}]})",
        "vcd-test.json");
    std::shared_ptr<dlnsim::BusWaveform> waveform;
    std::vector<dlnsim::TraceEntry> trace;
    builder.traceSink([&](const dlnsim::TraceEntry &call) {
        waveform->add(call);
        trace.push_back(call);
    });
    builder.traceFile((dir_ / "run.trace").string());
    auto sim = builder.build();
    waveform = dlnsim::BusWaveform::ToFile((dir_ / "live.vcd").string(),
                                           dlnsim::BusWaveform::OptionsFor(sim->config(), "test"));
    DlnInprocAttach(sim);
    HDLN handle = 0;
    ASSERT_EQ(DlnConnect("localhost", 9656), DLN_RES_SUCCESS);
    ASSERT_EQ(DlnOpenDevice(0, &handle), DLN_RES_SUCCESS);
    uint32_t frequency = 0;
    DlnI2cMasterGetFrequency(handle, 0, &frequency);
    const uint8_t data[] = {0x10, 0xca, 0xfe};
    uint8_t in[8] = {};
    EXPECT_EQ(DlnI2cMasterWrite(handle, 0, 0x50, 0, 0, 3, data), DLN_RES_SUCCESS);
    EXPECT_EQ(DlnI2cMasterRead(handle, 0, 0x50, 0, 0, 2, in), DLN_RES_SUCCESS);
    EXPECT_EQ(DlnI2cMasterRead(handle, 0, 0x50, 1, 0x10, 3, in), DLN_RES_SUCCESS);
    EXPECT_EQ(DlnI2cMasterWrite(handle, 0, 0x51, 0, 0, 1, data), DLN_RES_I2C_NACK);
    EXPECT_EQ(DlnI2cMasterRead(handle, 0, 0x52, 0, 0, 1, in), DLN_RES_I2C_NACK);
    EXPECT_EQ(DlnI2cMasterRead(handle, 0, 0x53, 2, 0x0102, 1, in), DLN_RES_I2C_NACK);
    // Each mode on both lines, at a frequency of its own; the mode changes between transfers.
    for (uint8_t mode = 0; mode < 4; ++mode)
        for (uint8_t line = 0; line < 2; ++line) {
            uint32_t actual = 0;
            ASSERT_EQ(DlnSpiMasterSetMode(handle, 0, mode), DLN_RES_SUCCESS);
            DlnSpiMasterSetFrequency(handle, 0, 500000u << mode, &actual);
            DlnSpiMasterSetSS(handle, 0, static_cast<uint8_t>(~(1u << line)));
            const uint8_t out[] = {static_cast<uint8_t>(0x81 + mode), 0x5a,
                                   static_cast<uint8_t>(line)};
            EXPECT_EQ(DlnSpiMasterReadWrite(handle, 0, 3, out, in), DLN_RES_SUCCESS);
        }
    DlnDisconnect("localhost", 9656);
    DlnInprocDetach();
    sim->finish();
    waveform.reset();

    Lines i2c;
    // spi[line][mode]: the MOSI and MISO bytes of each transfer in that mode.
    std::vector<std::string> mosi[2][4], miso[2][4];
    int mode = 0;
    for (const dlnsim::TraceEntry &call : trace) {
        if (call.call == "DlnI2cMasterWrite" || call.call == "DlnI2cMasterRead")
            ExpectI2c(call, i2c);
        if (call.call == "DlnSpiMasterSetMode")
            mode = static_cast<int>(call.setting);
        if (call.call == "DlnSpiMasterReadWrite") {
            int line = call.address == 0xFE ? 0 : 1;
            mosi[line][mode].push_back(Joined(call.out));
            miso[line][mode].push_back(Joined(call.in));
        }
    }
    ASSERT_EQ(i2c.size(), 52u); // the run above as planned
    fs::path fromTrace = dir_ / "from-trace.vcd";
    std::string converted =
        RunCommand(std::string(DLN_VCD_PROGRAM) + " '" + (dir_ / "run.trace").string() + "' '" +
                   fromTrace.string() + "'");
    ASSERT_NE(converted.find("drawn into"), std::string::npos) << converted;

    for (const fs::path &vcd : {dir_ / "live.vcd", fromTrace}) {
        SCOPED_TRACE(vcd.filename().string());
        EXPECT_EQ(DecodeI2c(vcd), i2c);
        // A decoder set to one mode reads the transfers of that mode right; the others on the
        // line are framed by the chip select all the same, one transfer a line.
        for (int line = 0; line < 2; ++line)
            for (int m = 0; m < 4; ++m) {
                SCOPED_TRACE("line " + std::to_string(line) + " mode " + std::to_string(m));
                Lines mosiRead = DecodeSpi(vcd, line, m, "mosi");
                Lines misoRead = DecodeSpi(vcd, line, m, "miso");
                ASSERT_EQ(mosiRead.size(), 4u);
                ASSERT_EQ(misoRead.size(), 4u);
                EXPECT_EQ(mosiRead[static_cast<size_t>(m)], mosi[line][m].at(0));
                EXPECT_EQ(misoRead[static_cast<size_t>(m)], miso[line][m].at(0));
            }
    }
}

dln::record::CallRecord Recorded(uint64_t timeUs, dln::wire::Call call, uint16_t result = 0) {
    static uint64_t seq = 0;
    dln::record::CallRecord record;
    record.seq = ++seq;
    record.timeUs = timeUs;
    record.thread = 1;
    record.request.call = call;
    record.request.handle = 1;
    record.reply.call = call;
    record.reply.result = result;
    return record;
}

// An I2C transfer of a recording: the bytes written, or those read when it succeeded.
dln::record::CallRecord RecordedI2c(uint64_t timeUs, dln::wire::Call call, uint8_t address,
                                    uint8_t memoryAddressLength, uint32_t memoryAddress,
                                    std::vector<uint8_t> bytes, uint16_t result = 0) {
    dln::record::CallRecord record = Recorded(timeUs, call, result);
    record.request.address = address;
    record.request.memoryAddressLength = memoryAddressLength;
    record.request.memoryAddress = memoryAddress;
    record.request.length = static_cast<uint16_t>(bytes.size());
    (call == dln::wire::Call::I2cWrite ? record.request.data : record.reply.data) = bytes;
    return record;
}

// A recording as the recording dln writes it on the robot, at 400 kHz, with seconds between
// calls: dln-vcd draws it, and the decoders read exactly these bytes.
TEST_F(SigrokDecodeTest, ARecordingDecodesAsRecorded) {
    using dln::wire::Call;
    std::vector<dln::record::CallRecord> calls;
    calls.push_back(Recorded(0, Call::Connect));
    calls.back().host = "localhost";
    calls.back().tcpPort = 9656;
    calls.push_back(Recorded(200, Call::OpenDevice));
    calls.back().reply.words = {1};
    calls.push_back(Recorded(300, Call::I2cGetFrequency));
    calls.back().reply.words = {400000};
    calls.push_back(RecordedI2c(1000, Call::I2cWrite, 0x29, 1, 0x0a, {0x01, 0x02}));
    calls.push_back(RecordedI2c(2000000, Call::I2cRead, 0x29, 1, 0x13, {0x44, 0x07}));
    calls.push_back(RecordedI2c(2001000, Call::I2cRead, 0x30, 0, 0, {}, DLN_RES_I2C_NACK));
    calls.back().request.length = 1;
    calls.push_back(Recorded(2002000, Call::SpiSetMode));
    calls.back().request.address = 3;
    calls.push_back(Recorded(2003000, Call::SpiSetFrequency));
    calls.back().request.value = 2000000;
    calls.back().reply.words = {2000000};
    calls.push_back(Recorded(2004000, Call::SpiSetSS));
    calls.back().request.address = 0xfd;
    auto &transfer = calls.emplace_back(Recorded(2005000, Call::SpiReadWrite));
    transfer.request.length = 2;
    transfer.request.data = {0x9f, 0x00};
    transfer.reply.data = {0xff, 0x20};
    std::string text = dln::record::HeaderLine("dln-real.dll") + "\n";
    for (const auto &call : calls)
        dln::record::AppendLine(call, text);
    std::ofstream(dir_ / "run.jsonl") << text;

    fs::path vcd = dir_ / "recording.vcd";
    std::string converted = RunCommand(std::string(DLN_VCD_PROGRAM) + " '" +
                                       (dir_ / "run.jsonl").string() + "' '" + vcd.string() + "'");
    ASSERT_NE(converted.find("10 calls"), std::string::npos) << converted;
    EXPECT_EQ(DecodeI2c(vcd), (Lines{"start",
                                     "write",
                                     "address write: 29",
                                     "ack",
                                     "data write: 0a",
                                     "ack",
                                     "data write: 01",
                                     "ack",
                                     "data write: 02",
                                     "ack",
                                     "stop",
                                     "start",
                                     "write",
                                     "address write: 29",
                                     "ack",
                                     "data write: 13",
                                     "ack",
                                     "start repeat",
                                     "read",
                                     "address read: 29",
                                     "ack",
                                     "data read: 44",
                                     "ack",
                                     "data read: 07",
                                     "nack",
                                     "stop",
                                     "start",
                                     "read",
                                     "address read: 30",
                                     "nack",
                                     "stop"}));
    EXPECT_EQ(DecodeSpi(vcd, 1, 3, "mosi"), Lines{"9f 00"});
    EXPECT_EQ(DecodeSpi(vcd, 1, 3, "miso"), Lines{"ff 20"});
    EXPECT_EQ(DecodeSpi(vcd, 0, 3, "mosi"), Lines{});
    // Bits at the reported 400 kHz: SCL high 1.25 us after its fall.
    std::ifstream in(vcd);
    std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_NE(all.find("#1001250\n0!\n#1002500\n1!"), std::string::npos);
    // The read two seconds later starts then, and the calls off the bus are marked.
    EXPECT_NE(all.find("#2000000000\n0\""), std::string::npos);
    EXPECT_NE(all.find("sDlnConnect_result=0x00 "), std::string::npos);
}

} // namespace
