// The recording's line format: what the recording library writes, the replay reads back
// exactly, for every call; and a broken line is refused with its place and its problem.
#include "call_record.h"
#include "recording_file.h"

#include <gtest/gtest.h>

#include <sstream>

using dln::record::CallRecord;
using dln::wire::Call;

namespace {

CallRecord Make(Call call, uint16_t result = 0) {
    CallRecord record;
    record.request.call = call;
    record.reply.call = call;
    record.reply.result = result;
    return record;
}

// One call of every kind, each with the arguments and answers it can carry, plus failures.
std::vector<CallRecord> EveryCall() {
    std::vector<CallRecord> calls;
    auto add = [&](CallRecord record) {
        record.seq = calls.size() + 1;
        record.timeUs = 1000 * record.seq;
        record.durationUs = 7;
        record.thread = 1 + record.seq % 2;
        calls.push_back(std::move(record));
    };
    CallRecord connect = Make(Call::Connect);
    connect.host = "local\"host";
    connect.tcpPort = 9656;
    add(connect);
    CallRecord open = Make(Call::OpenDevice);
    open.request.value = 0;
    open.reply.words = {3};
    add(open);
    CallRecord version = Make(Call::GetVersion);
    version.request.handle = 3;
    version.reply.words = {0x401, 0x01000000, 0x70000, 0x30100, 0xFFFFFFFF};
    add(version);
    for (Call call : {Call::I2cGetPortCount, Call::SpiGetPortCount}) {
        CallRecord count = Make(call);
        count.request.handle = 3;
        count.reply.words = {1};
        add(count);
    }
    for (Call call : {Call::I2cGetFrequency, Call::SpiGetFrequency, Call::I2cEnable,
                      Call::SpiEnable, Call::SpiGetMode}) {
        CallRecord word = Make(call);
        word.request.handle = 3;
        word.request.port = 1;
        word.reply.words = {100000};
        add(word);
    }
    CallRecord scan = Make(Call::I2cScanDevices);
    scan.request.handle = 3;
    scan.reply.data = {0x29, 0x50};
    add(scan);
    CallRecord write = Make(Call::I2cWrite);
    write.request.handle = 3;
    write.request.address = 0x50;
    write.request.memoryAddressLength = 2;
    write.request.memoryAddress = 0x1234;
    write.request.length = 3;
    write.request.data = {0x00, 0xCA, 0xFE};
    add(write);
    CallRecord read = Make(Call::I2cRead);
    read.request.handle = 3;
    read.request.address = 0x50;
    read.request.length = 2;
    read.reply.data = {0xCA, 0xFE};
    add(read);
    CallRecord nack = read;
    nack.reply.result = 0x44;
    nack.reply.data.clear();
    add(nack);
    CallRecord mode = Make(Call::SpiSetMode);
    mode.request.handle = 3;
    mode.request.address = 3;
    add(mode);
    CallRecord frequency = Make(Call::SpiSetFrequency);
    frequency.request.handle = 3;
    frequency.request.value = 1000000;
    frequency.reply.words = {1000000};
    add(frequency);
    CallRecord ss = Make(Call::SpiSetSS);
    ss.request.handle = 3;
    ss.request.address = 0xFE;
    add(ss);
    CallRecord transfer = Make(Call::SpiReadWrite);
    transfer.request.handle = 3;
    transfer.request.length = 2;
    transfer.request.data = {0x9F, 0x00};
    transfer.reply.data = {0xFF, 0x20};
    add(transfer);
    CallRecord nullBuffer = Make(Call::I2cRead, 0x45);
    nullBuffer.request.length = 4;
    nullBuffer.nullPointer = true;
    add(nullBuffer);
    CallRecord close = Make(Call::CloseHandle);
    close.request.handle = 3;
    add(close);
    CallRecord disconnect = Make(Call::Disconnect, 0x40);
    disconnect.nullPointer = true; // a null host
    add(disconnect);
    return calls;
}

std::vector<CallRecord> Read(const std::string &text) {
    std::istringstream in(text);
    return dlnsim::replay::ReadRecording(in, "run.jsonl");
}

std::string Header() {
    return dln::record::HeaderLine("/robot/dln-real.dll");
}

} // namespace

TEST(RecordingFormat, EveryCallReadsBackAsWritten) {
    std::vector<CallRecord> written = EveryCall();
    std::string text = Header();
    for (const CallRecord &record : written)
        dln::record::AppendLine(record, text);
    std::vector<CallRecord> read = Read(text);
    ASSERT_EQ(read.size(), written.size());
    for (size_t i = 0; i < written.size(); ++i) {
        SCOPED_TRACE(std::string("line ") + std::to_string(i + 2) + ": " +
                     dln::wire::CallName(written[i].request.call));
        const CallRecord &a = written[i];
        const CallRecord &b = read[i];
        EXPECT_EQ(
            std::tie(a.seq, a.timeUs, a.durationUs, a.thread, a.host, a.tcpPort, a.nullPointer),
            std::tie(b.seq, b.timeUs, b.durationUs, b.thread, b.host, b.tcpPort, b.nullPointer));
        EXPECT_EQ(dln::wire::EncodeRequest(a.request), dln::wire::EncodeRequest(b.request));
        EXPECT_EQ(dln::wire::EncodeReply(a.reply), dln::wire::EncodeReply(b.reply));
    }
}

TEST(RecordingFormat, LinesUseTheArgumentNamesOfTheCInterface) {
    std::vector<CallRecord> calls = EveryCall();
    std::string line;
    dln::record::AppendLine(calls[11], line); // the write
    EXPECT_EQ(line, "{\"seq\":12,\"timeUs\":12000,\"durationUs\":7,\"thread\":1,"
                    "\"call\":\"DlnI2cMasterWrite\",\"handle\":3,\"port\":0,\"slaveAddress\":80,"
                    "\"memoryAddressLength\":2,\"memoryAddress\":4660,\"length\":3,"
                    "\"buffer\":\"00 ca fe\",\"result\":0}\n");
}

TEST(RecordingFormat, BrokenLinesAreRefusedWithTheirPlace) {
    const std::string call = "{\"seq\":1,\"call\":\"DlnI2cMasterRead\",\"handle\":1,\"port\":0,"
                             "\"slaveAddress\":80,\"memoryAddressLength\":0,\"memoryAddress\":0,";
    struct Case {
        std::string text;
        std::string message;
    } cases[] = {
        {"", "run.jsonl: empty, not a recording"},
        {call + "\"length\":2,\"result\":0,\"buffer\":\"ca fe\"}",
         "run.jsonl:1: no header line before the first call"},
        {Header() + call + "\"length\":2,\"result\":0}",
         "run.jsonl:2: DlnI2cMasterRead: \"buffer\" is missing although the call succeeded"},
        {Header() + call + "\"length\":2,\"result\":0,\"buffer\":\"cafe\"}",
         "run.jsonl:2: DlnI2cMasterRead: \"buffer\" is not a string of hex bytes (\"0a ff\")"},
        {Header() + call + "\"length\":3,\"result\":0,\"buffer\":\"ca fe\"}",
         "run.jsonl:2: DlnI2cMasterRead: the bytes read are not as many as the length says"},
        {Header() + call + "\"length\":2,\"result\":68,\"buffer\":\"ca fe\"}",
         "run.jsonl:2: DlnI2cMasterRead: \"buffer\" is given although the call failed"},
        {Header() + call + "\"length\":2,\"result\":0,\"buffer\":\"ca fe\",\"speed\":1}",
         "run.jsonl:2: DlnI2cMasterRead: unknown key \"speed\""},
        {Header() + "{\"seq\":1,\"call\":\"DlnFly\",\"result\":0}",
         "run.jsonl:2: DlnFly: unknown call \"DlnFly\""},
        {Header() + "{\"seq\":1,\"call\":\"DlnCloseHandle\",\"handle\":65536,\"result\":0}",
         "run.jsonl:2: DlnCloseHandle: \"handle\" is out of range"},
        {"{\"recording\":\"dln calls\",\"version\":2}",
         "run.jsonl:1: not a recording of version 1"},
        {Header() + "[1]", "run.jsonl:2: not a JSON object"},
        // What was once taken silently.
        {Header() + "{\"seq\":1,\"seq\":2,\"call\":\"DlnCloseHandle\",\"handle\":1,\"result\":0}",
         "run.jsonl:2: \"seq\" is given twice"},
        {Header() + "{\"seq\":2,\"call\":\"DlnCloseHandle\",\"handle\":1,\"result\":0}\n" +
             "{\"seq\":2,\"call\":\"DlnCloseHandle\",\"handle\":1,\"result\":0}",
         "run.jsonl:3: DlnCloseHandle: \"seq\" 2 after 2: given twice"},
        {Header() + "{\"seq\":5,\"call\":\"DlnCloseHandle\",\"handle\":1,\"result\":0}\n" +
             "{\"seq\":4,\"call\":\"DlnCloseHandle\",\"handle\":1,\"result\":0}",
         "run.jsonl:3: DlnCloseHandle: \"seq\" 4 after 5: out of order"},
        {Header() + "{\"seq\":1,\"call\":\"DlnOpenDevice\",\"deviceNumber\":0,\"result\":0," +
             "\"handle\":4294967295}",
         "run.jsonl:2: DlnOpenDevice: \"handle\" is above 65535 (handles are 16 bits)"},
        {"{\"recording\":\"dln calls\",\"version\":\"1\"}",
         "run.jsonl:1: not a recording of version 1"},
        {Header() + std::string(3 << 20, '\0'), "run.jsonl:2: a line longer than 1 MiB"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text.substr(0, 300));
        try {
            Read(c.text);
            ADD_FAILURE() << "accepted";
        } catch (const std::runtime_error &e) {
            EXPECT_EQ(std::string(e.what()).substr(0, c.message.size()), c.message);
        }
    }
}

TEST(RecordingFormat, ACutLastLineAndCallsOnUnopenedHandlesAreWarnedAbout) {
    const std::string close = "{\"seq\":1,\"call\":\"DlnCloseHandle\",\"handle\":9,\"result\":0}\n";
    struct Case {
        std::string text;
        size_t calls;
        std::vector<std::string> warnings;
    } cases[] = {
        // Killed while writing: the half line is left out, the rest replays.
        {Header() + close + "{\"seq\":2,\"call\":\"DlnI2cMas",
         1,
         {"run.jsonl:3: the last line is cut off; it is left out",
          "run.jsonl:2: 1 call on handles (9) that no DlnOpenDevice of the recording returned; "
          "a server never sees them"}},
        // A broken line with its newline was written whole: refused, not skipped.
        {Header() + "{\"seq\":2,\"call\":\"DlnI2cMas\n", 0, {"refused"}},
        {Header() + "{\"seq\":1,\"call\":\"DlnOpenDevice\",\"deviceNumber\":0,\"result\":0," +
             "\"handle\":9}\n" +
             "{\"seq\":2,\"call\":\"DlnCloseHandle\",\"handle\":9,\"result\":0}\n",
         2,
         {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text);
        std::vector<std::string> warnings;
        std::istringstream in(c.text);
        dlnsim::replay::ReadOptions options;
        options.warnings = &warnings;
        try {
            EXPECT_EQ(dlnsim::replay::ReadRecording(in, "run.jsonl", options).size(), c.calls);
        } catch (const std::runtime_error &e) {
            warnings.push_back("refused");
        }
        EXPECT_EQ(warnings, c.warnings);
    }
}

TEST(RecordingFormat, ReadingStopsWhenCancelled) {
    std::string text = Header();
    for (int i = 1; i <= 10000; ++i)
        text += "{\"seq\":" + std::to_string(i) +
                ",\"call\":\"DlnCloseHandle\",\"handle\":1,\"result\":0}\n";
    std::istringstream in(text);
    int asked = 0;
    dlnsim::replay::ReadOptions options;
    options.cancelled = [&asked] { return ++asked == 2; };
    EXPECT_THROW(dlnsim::replay::ReadRecording(in, "run.jsonl", options),
                 dlnsim::replay::ReadCancelled);
    EXPECT_EQ(asked, 2);
}
