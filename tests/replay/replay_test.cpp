// The replay engine at the level of the wire protocol: which recorded calls a server sees,
// strict and lenient answering, and the mismatch report.
#include "replay.h"
#include "server_calls.h"

#include "dln_api.h"

#include <gtest/gtest.h>

using dln::record::CallRecord;
using dln::wire::Call;
using dln::wire::Request;
using dlnsim::replay::Mode;
using dlnsim::replay::Replay;

namespace {

// A recording written as a program would make it: each helper appends one call.
class RecordingBuilder {
  public:
    RecordingBuilder &connect(uint16_t result = 0) { return add(Make(Call::Connect, 0, result)); }
    RecordingBuilder &disconnect(uint16_t result = 0) {
        return add(Make(Call::Disconnect, 0, result));
    }
    RecordingBuilder &open(uint16_t handle) {
        CallRecord r = Make(Call::OpenDevice, 0, 0);
        r.reply.words = {handle};
        return add(r);
    }
    RecordingBuilder &close(uint16_t handle, uint16_t result = 0) {
        return add(Make(Call::CloseHandle, handle, result));
    }
    RecordingBuilder &write(uint16_t handle, uint8_t address, std::vector<uint8_t> bytes,
                            uint16_t result = 0) {
        CallRecord r = Make(Call::I2cWrite, handle, result);
        r.request.address = address;
        r.request.length = static_cast<uint16_t>(bytes.size());
        r.request.data = std::move(bytes);
        return add(r);
    }
    RecordingBuilder &read(uint16_t handle, uint8_t address, std::vector<uint8_t> bytes) {
        CallRecord r = Make(Call::I2cRead, handle, 0);
        r.request.address = address;
        r.request.length = static_cast<uint16_t>(bytes.size());
        r.reply.data = std::move(bytes);
        return add(r);
    }
    std::vector<CallRecord> calls;

  private:
    static CallRecord Make(Call call, uint16_t handle, uint16_t result) {
        CallRecord r;
        r.request.call = r.reply.call = call;
        r.request.handle = handle;
        r.reply.result = result;
        r.host = "localhost";
        r.tcpPort = 9656;
        return r;
    }
    RecordingBuilder &add(CallRecord r) {
        r.seq = calls.size() + 1;
        calls.push_back(std::move(r));
        return *this;
    }
};

std::vector<uint64_t> Seqs(const std::vector<CallRecord> &calls) {
    std::vector<uint64_t> seqs;
    for (const CallRecord &c : calls)
        seqs.push_back(c.seq);
    return seqs;
}

Request AsRequest(const CallRecord &call) {
    return call.request;
}

// A replay whose reports are kept for the test to read.
struct ReplayRun {
    ReplayRun(const std::vector<CallRecord> &calls, Mode mode)
        : replay(calls, mode, [this](const std::string &text) { reports.push_back(text); }) {}
    std::vector<std::string> reports;
    Replay replay;
};

} // namespace

TEST(ServerCalls, CallsOurDlnAnswersItselfAreLeftOut) {
    RecordingBuilder b;
    b.disconnect(0x40)             // 1: no connection yet
        .close(0, 0x41)            // 2: handle 0
        .connect()                 // 3
        .open(7)                   // 4
        .write(7, 0x50, {1})       // 5
        .write(8, 0x50, {1}, 0x41) // 6: a handle never opened
        .close(7)                  // 7
        .write(7, 0x50, {1}, 0x41) // 8: closed
        .open(9)                   // 9
        .disconnect()              // 10: count 0 drops handle 9
        .read(9, 0x50, {})         // 11: dropped with its connection
        .connect(0x47)             // 12: a failed connect still reaches the server
        .disconnect(0x40);         // 13: nothing counted
    EXPECT_EQ(Seqs(dlnsim::replay::CallsThatReachTheServer(b.calls)),
              (std::vector<uint64_t>{3, 4, 5, 7, 9, 10, 12}));
    b.calls[4].nullPointer = true;
    EXPECT_EQ(Seqs(dlnsim::replay::CallsThatReachTheServer(b.calls)),
              (std::vector<uint64_t>{3, 4, 7, 9, 10, 12}));
}

TEST(Replay, StrictAnswersEachRequestWithItsRecordedReply) {
    RecordingBuilder b;
    b.connect().open(7).write(7, 0x50, {0x10}).read(7, 0x50, {0xCA, 0xFE}).close(7).disconnect();
    ReplayRun run(b.calls, Mode::Strict);
    for (size_t i = 0; i < b.calls.size(); ++i) {
        dln::wire::Reply reply = run.replay.answer(AsRequest(b.calls[i]));
        EXPECT_EQ(dln::wire::EncodeReply(reply), dln::wire::EncodeReply(b.calls[i].reply))
            << "call " << i + 1;
    }
    EXPECT_TRUE(run.replay.allMatched());
    ASSERT_EQ(run.reports.size(), 1u);
    EXPECT_EQ(run.reports[0], "replay: the recording has been played to its end; replay (strict): "
                              "6 of 6 recorded calls answered, all in order and matching");
}

TEST(Replay, StrictFailsAChangedWriteAndShowsTheBytesSideBySide) {
    RecordingBuilder b;
    b.connect().open(7).write(7, 0x50, {0x10, 0xCA, 0xFE}).read(7, 0x50, {0x01}).close(7);
    ReplayRun run(b.calls, Mode::Strict);
    run.replay.answer(AsRequest(b.calls[0]));
    run.replay.answer(AsRequest(b.calls[1]));
    Request changed = AsRequest(b.calls[2]);
    changed.data[2] = 0xFF;
    EXPECT_EQ(run.replay.answer(changed).result, DLN_RES_FAIL);
    // The rest stays in step: the read after the write still gets its recorded byte.
    EXPECT_EQ(run.replay.answer(AsRequest(b.calls[3])).data, std::vector<uint8_t>{0x01});
    run.replay.answer(AsRequest(b.calls[4]));
    ASSERT_EQ(run.reports.size(), 2u);
    EXPECT_EQ(run.reports[0],
              "replay: mismatch at recorded call 3 (request 3 of this run); it fails with 0x4F\n"
              "  recorded: DlnI2cMasterWrite handle=7 port=0 slaveAddress=0x50 "
              "memoryAddressLength=0 memoryAddress=0 length=3 buffer=[10 ca fe]\n"
              "  came:     DlnI2cMasterWrite handle=7 port=0 slaveAddress=0x50 "
              "memoryAddressLength=0 memoryAddress=0 length=3 buffer=[10 ca ff]\n"
              "  bytes sent recorded: 10 ca fe\n"
              "  bytes sent came:     10 ca ff\n"
              "                             ^^");
    EXPECT_FALSE(run.replay.allMatched());
    EXPECT_EQ(run.replay.summary(), "replay (strict): 5 of 5 recorded calls answered; 2 matched "
                                    "before the first mismatch (at recorded call 3), 1 mismatched "
                                    "in all");
}

TEST(Replay, StrictFailsWhatComesAfterTheEndAndCountsWhatNeverCame) {
    RecordingBuilder b;
    b.connect().open(7).close(7);
    ReplayRun early(b.calls, Mode::Strict);
    early.replay.answer(AsRequest(b.calls[0]));
    EXPECT_EQ(early.replay.summary(), "replay (strict): 1 of 3 recorded calls answered, all in "
                                      "order and matching; 2 recorded calls never asked for");

    ReplayRun late(b.calls, Mode::Strict);
    for (const CallRecord &call : b.calls)
        late.replay.answer(AsRequest(call));
    EXPECT_EQ(late.replay.answer(AsRequest(b.calls[0])).result, DLN_RES_FAIL);
    EXPECT_EQ(late.reports.back(),
              "replay: request 4 came after the end of the recording; it "
              "fails with 0x4F\n  recorded: (nothing)\n  came:     DlnConnect");
}

TEST(Replay, LenientMatchesByArgumentsWhateverTheOrder) {
    RecordingBuilder b;
    b.connect()
        .open(7)
        .write(7, 0x51, {0xA1})
        .read(7, 0x51, {0x61})
        .write(7, 0x52, {0xA1})
        .read(7, 0x52, {0x62})
        .read(7, 0x52, {0x63});
    ReplayRun run(b.calls, Mode::Lenient);
    auto read = [&](uint16_t handle, uint8_t address) {
        Request r = AsRequest(b.calls[3]);
        r.handle = handle; // handles are not compared
        r.address = address;
        return run.replay.answer(r);
    };
    run.replay.answer(AsRequest(b.calls[0]));
    run.replay.answer(AsRequest(b.calls[1]));
    run.replay.answer(AsRequest(b.calls[4])); // the second board first
    EXPECT_EQ(read(5, 0x52).data, std::vector<uint8_t>{0x62});
    EXPECT_EQ(read(5, 0x52).data, std::vector<uint8_t>{0x63});
    EXPECT_EQ(read(5, 0x52).data, std::vector<uint8_t>{0x63}); // used up: the last answers again
    run.replay.answer(AsRequest(b.calls[2]));
    EXPECT_EQ(read(5, 0x51).data, std::vector<uint8_t>{0x61});
    Request unknown = AsRequest(b.calls[2]);
    unknown.address = 0x60;
    EXPECT_EQ(run.replay.answer(unknown).result, DLN_RES_FAIL);
    EXPECT_EQ(run.reports[0], "replay: the recording has been played to its end; replay "
                              "(lenient): 7 of 7 recorded calls answered, no mismatch, 1 "
                              "answered again by a used-up call");
    EXPECT_EQ(run.reports.back(), "replay: request 9 is like no recorded call; it fails with "
                                  "0x4F\n  nearest:  (none of this call and address)\n  came:     "
                                  "DlnI2cMasterWrite handle=7 port=0 slaveAddress=0x60 "
                                  "memoryAddressLength=0 memoryAddress=0 length=1 buffer=[a1]");
}

TEST(Replay, LenientNamesTheNearestUnusedCallOfAMismatch) {
    RecordingBuilder b;
    b.connect().open(7).write(7, 0x51, {0xA1, 0x05});
    ReplayRun run(b.calls, Mode::Lenient);
    Request changed = AsRequest(b.calls[2]);
    changed.data[1] = 0x06;
    EXPECT_EQ(run.replay.answer(changed).result, DLN_RES_FAIL);
    EXPECT_EQ(run.reports.back(),
              "replay: request 1 is like no recorded call; it fails with 0x4F\n"
              "  nearest:  recorded call 3: DlnI2cMasterWrite handle=7 port=0 slaveAddress=0x51 "
              "memoryAddressLength=0 memoryAddress=0 length=2 buffer=[a1 05]\n"
              "  came:     DlnI2cMasterWrite handle=7 port=0 slaveAddress=0x51 "
              "memoryAddressLength=0 memoryAddress=0 length=2 buffer=[a1 06]\n"
              "  bytes sent recorded: a1 05\n"
              "  bytes sent came:     a1 06\n"
              "                          ^^");
    EXPECT_EQ(run.replay.summary(), "replay (lenient): 0 of 3 recorded calls answered; 0 matched "
                                    "before the first mismatch, 1 mismatched in all; 3 recorded "
                                    "calls never asked for");
}

TEST(Replay, ThreadsAreNamedAndTheLenientModeSuggestedWhereTheyInterleave) {
    RecordingBuilder b;
    b.connect().open(7).write(7, 0x50, {0x10}).read(7, 0x50, {0x01}).write(7, 0x29, {0xC0});
    for (size_t i = 0; i < b.calls.size(); ++i)
        b.calls[i].thread = i < 3 ? 1 : 2;
    ReplayRun run(b.calls, Mode::Strict);
    run.replay.answer(AsRequest(b.calls[0]));
    run.replay.answer(AsRequest(b.calls[1]));
    run.replay.answer(AsRequest(b.calls[2]));
    // Thread 2's write came before its read: the order of two threads differed.
    run.replay.answer(AsRequest(b.calls[4]));
    ASSERT_EQ(run.reports.size(), 1u);
    EXPECT_EQ(run.reports[0].substr(0, run.reports[0].find('\n')),
              "replay: mismatch at recorded call 4 (request 4 of this run, recorded by thread 2); "
              "it fails with 0x4F");
    EXPECT_NE(run.reports[0].find("the recording interleaves the calls of 2 threads"),
              std::string::npos);
    EXPECT_NE(run.reports[0].find("--replay-lenient"), std::string::npos);
    EXPECT_TRUE(run.replay.anyMismatch());
    EXPECT_EQ(run.replay.describeDevices(), "i2c 0x29, 0x50");
}

TEST(Replay, ReportsAreCappedHooksCalledAndARestartPlaysAgain) {
    RecordingBuilder b;
    b.connect().open(7);
    for (int i = 0; i < 30; ++i)
        b.write(7, 0x50, {static_cast<uint8_t>(i)});
    ReplayRun run(b.calls, Mode::Strict);
    int hooked = 0;
    run.replay.onMismatch([&] { ++hooked; });
    run.replay.answer(AsRequest(b.calls[0]));
    run.replay.answer(AsRequest(b.calls[1]));
    Request wrong = AsRequest(b.calls[2]);
    wrong.data = {0xEE};
    for (int i = 0; i < 30; ++i)
        run.replay.answer(wrong);
    EXPECT_EQ(hooked, 30);
    // Ten shown, one line saying that the rest are only counted, and the end of the recording.
    ASSERT_EQ(run.reports.size(), Replay::kMaxReported + 2);
    EXPECT_EQ(run.reports[Replay::kMaxReported].rfind("replay: further mismatches are counted", 0),
              0u);
    EXPECT_NE(run.replay.summary().find("30 mismatched in all"), std::string::npos);

    run.replay.restart();
    EXPECT_EQ(run.reports.back().rfind("replay: starting the recording again", 0), 0u);
    for (const CallRecord &call : b.calls)
        EXPECT_EQ(run.replay.answer(AsRequest(call)).result, call.reply.result);
    EXPECT_TRUE(run.replay.allMatched()) << run.replay.summary();
    // The earlier pass's mismatches still count for the exit status.
    EXPECT_TRUE(run.replay.anyMismatch());
}

TEST(Replay, TimingHoldsEachReplyForItsRecordedDurationAndGapsOfItsThread) {
    // Three reads of one thread on the robot: 2 ms each, 50 ms apart; another thread's
    // connect and open before them, and its read between them, with no gap.
    RecordingBuilder b;
    b.connect().open(7).read(7, 0x50, {1}).read(7, 0x51, {2}).read(7, 0x50, {3});
    for (size_t i = 0; i < 3; ++i) {
        b.calls[2 + i].thread = 1;
        b.calls[2 + i].timeUs = 52000 * i;
        b.calls[2 + i].durationUs = 2000;
    }
    b.calls[0].thread = b.calls[1].thread = b.calls[3].thread = 2;
    b.calls[0].timeUs = b.calls[1].timeUs = 52000; // thread 2 opens just before its read
    auto heldOf = [&](dlnsim::replay::Timing timing) {
        Replay replay(
            b.calls, Mode::Strict, [](const std::string &) {}, timing);
        std::vector<uint64_t> held;
        for (const CallRecord &call : b.calls) {
            held.push_back(0);
            replay.answer(AsRequest(call), &held.back());
        }
        EXPECT_TRUE(replay.allMatched()) << replay.summary();
        return std::vector<uint64_t>(held.begin() + 2, held.end());
    };
    using dlnsim::replay::Timing;
    EXPECT_EQ(heldOf(Timing::None), (std::vector<uint64_t>{0, 0, 0}));
    EXPECT_EQ(heldOf(Timing::Recorded), (std::vector<uint64_t>{2000, 2000, 2000}));
    // Asked at once, the third call waits for thread 1's recorded gap of 102 ms after its
    // first call's end, less the time this test took in between (never more).
    std::vector<uint64_t> gaps = heldOf(Timing::RecordedGaps);
    EXPECT_EQ(gaps[0], 2000u);
    EXPECT_EQ(gaps[1], 2000u); // thread 2's, after its open
    EXPECT_LE(gaps[2], 2000u + 102000u + 2000u);
    // Longer than its duration alone unless this test stalled for 104 ms in between.
    EXPECT_GT(gaps[2], 2000u);
}
