// dln-sim's replay over TCP through our libdln: a recording made through another adapter
// library (its own handle numbers, a call it failed by itself) replays call for call.
#include "dln_api.h"
#include "dlnsim/server.h"
#include "replay_sessions.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>

using dln::record::CallRecord;
using dln::wire::Call;

namespace {

CallRecord Recorded(Call call, uint16_t handle, uint16_t result = 0) {
    static uint64_t seq = 0;
    CallRecord r;
    r.seq = ++seq;
    r.request.call = r.reply.call = call;
    r.request.handle = handle;
    r.reply.result = result;
    r.host = "localhost";
    r.tcpPort = 9656;
    return r;
}

} // namespace

TEST(ReplayServer, ARecordingOfAnotherLibraryReplaysWithItsHandlesMapped) {
    constexpr uint16_t kTheirHandle = 0x1234; // what the recording's library issued
    std::vector<CallRecord> recording;
    recording.push_back(Recorded(Call::Connect, 0));
    recording.push_back(Recorded(Call::OpenDevice, 0));
    recording.back().reply.words = {kTheirHandle};
    recording.push_back(Recorded(Call::GetVersion, kTheirHandle));
    recording.back().reply.words = {0x0402, 1, 2, 3, 4};
    recording.push_back(Recorded(Call::I2cRead, kTheirHandle));
    recording.back().request.address = 0x50;
    recording.back().request.length = 2;
    recording.back().reply.data = {0xCA, 0xFE};
    recording.push_back(Recorded(Call::I2cRead, kTheirHandle, DLN_RES_I2C_NACK));
    recording.back().request.address = 0x51;
    recording.back().request.length = 1;
    recording.push_back(Recorded(Call::CloseHandle, kTheirHandle));
    recording.push_back(Recorded(Call::CloseHandle, kTheirHandle, DLN_RES_INVALID_HANDLE));
    recording.push_back(Recorded(Call::Disconnect, 0));

    std::vector<std::string> reports;
    auto replay = std::make_shared<dlnsim::replay::Replay>(
        recording, dlnsim::replay::Mode::Strict,
        [&](const std::string &text) { reports.push_back(text); });
    dlnsim::Server server(dlnsim::replay::ReplaySessions(replay), [](const std::string &) {});
    server.start(0);

    ASSERT_EQ(DlnConnect("127.0.0.1", server.port()), DLN_RES_SUCCESS);
    HDLN handle = 0;
    ASSERT_EQ(DlnOpenDevice(0, &handle), DLN_RES_SUCCESS);
    EXPECT_NE(handle, 0);
    DLN_VERSION version{};
    EXPECT_EQ(DlnGetVersion(handle, &version), DLN_RES_SUCCESS);
    EXPECT_EQ(version.hardwareType, 0x0402u);
    EXPECT_EQ(version.libraryVersion, 4u);
    uint8_t bytes[2] = {};
    EXPECT_EQ(DlnI2cMasterRead(handle, 0, 0x50, 0, 0, 2, bytes), DLN_RES_SUCCESS);
    EXPECT_EQ(bytes[0], 0xCA);
    EXPECT_EQ(bytes[1], 0xFE);
    EXPECT_EQ(DlnI2cMasterRead(handle, 0, 0x51, 0, 0, 1, bytes), DLN_RES_I2C_NACK);
    EXPECT_EQ(DlnCloseHandle(handle), DLN_RES_SUCCESS);
    // Our dln refuses the closed handle itself; the replay never expected that call.
    EXPECT_EQ(DlnCloseHandle(handle), DLN_RES_INVALID_HANDLE);
    EXPECT_EQ(DlnDisconnect("127.0.0.1", server.port()), DLN_RES_SUCCESS);
    server.stop();

    EXPECT_TRUE(replay->allMatched()) << replay->summary();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0], "replay: the recording has been played to its end; replay (strict): 7 "
                          "of 7 recorded calls answered, all in order and matching");
}

// With the loop, each run of a program (a new first connection) meets the recording from its
// start again, and a run that differs makes the replay report a mismatch for the exit status.
TEST(ReplayServer, TheLoopPlaysTheRecordingToEachNewFirstClient) {
    std::vector<CallRecord> recording;
    recording.push_back(Recorded(Call::Connect, 0));
    recording.push_back(Recorded(Call::OpenDevice, 0));
    recording.back().reply.words = {5};
    recording.push_back(Recorded(Call::GetVersion, 5));
    recording.back().reply.words = {0x0401, 1, 2, 3, 4};
    recording.push_back(Recorded(Call::Disconnect, 0));

    std::vector<std::string> reports;
    auto replay = std::make_shared<dlnsim::replay::Replay>(
        recording, dlnsim::replay::Mode::Strict,
        [&](const std::string &text) { reports.push_back(text); });
    std::mutex mutex;
    std::condition_variable ended;
    int clientsEnded = 0;
    dlnsim::Server server(dlnsim::replay::ReplaySessions(replay, true), [&](const std::string &) {
        std::lock_guard lock(mutex);
        ++clientsEnded;
        ended.notify_all();
    });
    server.start(0);
    for (int run = 1; run <= 3; ++run) {
        SCOPED_TRACE(run);
        ASSERT_EQ(DlnConnect("127.0.0.1", server.port()), DLN_RES_SUCCESS);
        HDLN handle = 0;
        ASSERT_EQ(DlnOpenDevice(0, &handle), DLN_RES_SUCCESS);
        DLN_VERSION version{};
        EXPECT_EQ(DlnGetVersion(handle, &version), DLN_RES_SUCCESS);
        EXPECT_EQ(version.hardwareType, 0x0401u);
        EXPECT_EQ(DlnDisconnect("127.0.0.1", server.port()), DLN_RES_SUCCESS);
        // The server has seen the client go before the next run connects.
        std::unique_lock lock(mutex);
        ASSERT_TRUE(
            ended.wait_for(lock, std::chrono::seconds(30), [&] { return clientsEnded == run; }));
    }
    server.stop();
    EXPECT_FALSE(replay->anyMismatch()) << replay->summary();
    EXPECT_TRUE(replay->allMatched()) << replay->summary();
    int restarts = 0;
    for (const std::string &report : reports)
        restarts += report.rfind("replay: starting the recording again", 0) == 0;
    EXPECT_EQ(restarts, 2);
}
