// The server's held replies over TCP: a call sequence takes its modelled time on top of the
// loopback's, many clients wait at once without holding each other up, and a replay with the
// recorded timing takes the recorded durations. Times are ratios of one run, with bounds a
// loaded machine meets; a held reply is never early, so the lower bounds are exact.
#include "dln_api.h"
#include "dlnsim/models/register_device.h"
#include "dlnsim/server.h"
#include "replay_sessions.h"
#include "tcp_test_support.h"

#include <gtest/gtest.h>

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <vector>

using dln::wire::Call;

namespace {

std::shared_ptr<dlnsim::Simulator> HeldSim(uint32_t usbUs, uint32_t serverUs) {
    dlnsim::AdapterConfig config;
    config.latency.usb = {usbUs, usbUs};
    config.latency.server = {serverUs, serverUs};
    return dlnsim::SimBuilder()
        .adapter(config)
        .i2c(0x50, std::make_shared<dlnsim::RegisterDevice>())
        .build();
}

// The calls of a raw I2C read, as the library makes them; returns the seconds they took.
double ReadThrough(uint16_t port) {
    Stopwatch watch;
    EXPECT_EQ(DlnConnect(kLoopback, port), DLN_RES_SUCCESS);
    HDLN handle = 0;
    EXPECT_EQ(DlnOpenDevice(0, &handle), DLN_RES_SUCCESS);
    uint8_t ports = 0;
    EXPECT_EQ(DlnI2cMasterGetPortCount(handle, &ports), DLN_RES_SUCCESS);
    uint16_t conflict = 0;
    EXPECT_EQ(DlnI2cMasterEnable(handle, 0, &conflict), DLN_RES_SUCCESS);
    uint32_t frequency = 0;
    EXPECT_EQ(DlnI2cMasterGetFrequency(handle, 0, &frequency), DLN_RES_SUCCESS);
    uint8_t bytes[4] = {};
    EXPECT_EQ(DlnI2cMasterRead(handle, 0, 0x50, 0, 0, 4, bytes), DLN_RES_SUCCESS);
    EXPECT_EQ(DlnCloseHandle(handle), DLN_RES_SUCCESS);
    EXPECT_EQ(DlnDisconnect(kLoopback, port), DLN_RES_SUCCESS);
    return watch.seconds();
}

struct Held {
    double seconds = 0;  // the quickest of the runs of the sequence
    double modelled = 0; // the sum of the sequence's held replies
    int usbCalls = 0;
};

// The quickest of five runs: the one the machine's other work disturbed least.
Held HeldRead(uint32_t usbUs, uint32_t serverUs) {
    constexpr int kRuns = 5;
    auto sim = HeldSim(usbUs, serverUs);
    dlnsim::Server server(sim, [](const std::string &) {});
    server.start(0);
    Held held;
    held.seconds = 1e9;
    for (int run = 0; run < kRuns; ++run)
        held.seconds = std::min(held.seconds, ReadThrough(server.port()));
    server.stop();
    for (const dlnsim::TraceEntry &entry : sim->trace()) {
        held.modelled += entry.heldUs / 1e6 / kRuns;
        auto call = dln::wire::CallByName(entry.call);
        bool usb = call && !dlnsim::AnsweredByServer(*call);
        held.usbCalls += usb;
        EXPECT_EQ(entry.heldUs, usb ? usbUs : serverUs) << entry.call;
    }
    held.usbCalls /= kRuns;
    return held;
}

// A socket connected to the server, or -1.
int Connected(uint16_t port) {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0) {
        close(fd);
        return -1;
    }
    int one = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    return fd;
}

} // namespace

TEST(LatencyServer, AReadTakesItsUsbAndServerCallsModelsOnTopOfTheLoopback) {
    Held none = HeldRead(0, 0);
    for (uint32_t ms : {1u, 2u}) {
        Held held = HeldRead(ms * 1000, 200);
        ASSERT_GT(held.usbCalls, 0);
        // Each reply leaves no sooner than its model allows...
        EXPECT_GE(held.seconds, held.modelled) << ms << " ms per USB call";
        // ...and not much later: what is left is the loopback's own time, and the machine's
        // (a bound a machine busy with other work meets too).
        double extra = held.seconds - none.seconds;
        EXPECT_LT(extra, held.modelled * 2) << ms << " ms per USB call";
        std::printf("L = %u ms: %d USB calls, modelled %.2f ms, took %.2f ms (%.3f of the model; "
                    "%.2f ms without latency)\n",
                    ms, held.usbCalls, held.modelled * 1e3, held.seconds * 1e3,
                    held.seconds / held.modelled, none.seconds * 1e3);
    }
}

TEST(LatencyServer, SixtyFourClientsWaitOnTheirHeldRepliesAtOnce) {
    constexpr int kClients = 64;
    constexpr uint32_t kHeldUs = 100000;
    dlnsim::Server server(
        HeldSim(0, kHeldUs), [](const std::string &) {}, kClients);
    server.start(0);
    std::vector<int> sockets;
    for (int i = 0; i < kClients; ++i) {
        sockets.push_back(Connected(server.port()));
        ASSERT_GE(sockets.back(), 0);
    }
    // One request each, all sent before any reply is due: a connect, which the server answers.
    dln::wire::Request request;
    request.call = Call::Connect;
    std::vector<uint8_t> frame = dln::wire::EncodeRequest(request);
    Stopwatch watch;
    for (int fd : sockets)
        ASSERT_EQ(send(fd, frame.data(), frame.size(), 0), ssize_t(frame.size()));
    std::vector<double> answeredAt(kClients, -1);
    for (int answered = 0; answered < kClients && watch.seconds() < 30;) {
        std::vector<pollfd> polls;
        for (int fd : sockets)
            polls.push_back({fd, POLLIN, 0});
        poll(polls.data(), polls.size(), 1000);
        for (int i = 0; i < kClients; ++i)
            if ((polls[i].revents & POLLIN) && answeredAt[i] < 0) {
                uint8_t reply[64];
                ASSERT_GT(recv(sockets[i], reply, sizeof reply, 0), 0);
                answeredAt[i] = watch.seconds();
                ++answered;
            }
    }
    double last = 0;
    for (int i = 0; i < kClients; ++i) {
        EXPECT_GE(answeredAt[i], kHeldUs / 1e6) << "client " << i;
        last = std::max(last, answeredAt[i]);
    }
    // Held one after the other they would take 64 times as long.
    EXPECT_LT(last, kClients * kHeldUs / 1e6 / 8);
    std::printf("64 clients held %u ms each: all answered after %.1f ms\n", kHeldUs / 1000,
                last * 1e3);
    for (int fd : sockets)
        close(fd);
    server.stop();
}

TEST(LatencyServer, AReplayWithRecordedTimingTakesTheRecordedDurations) {
    // Twenty reads of 10 ms each on the robot, answered at once and as recorded.
    std::vector<dln::record::CallRecord> recording;
    auto add = [&](Call call, uint64_t durationUs) {
        dln::record::CallRecord record;
        record.seq = recording.size() + 1;
        record.timeUs =
            recording.empty() ? 0 : recording.back().timeUs + recording.back().durationUs;
        record.durationUs = durationUs;
        record.thread = 1;
        record.request.call = record.reply.call = call;
        record.host = "localhost";
        if (call == Call::OpenDevice)
            record.reply.words = {1};
        if (call != Call::Connect && call != Call::OpenDevice && call != Call::Disconnect)
            record.request.handle = 1;
        if (call == Call::I2cRead) {
            record.request.address = 0x50;
            record.request.length = 1;
            record.reply.data = {0x2A};
        }
        recording.push_back(record);
    };
    add(Call::Connect, 100);
    add(Call::OpenDevice, 100);
    for (int i = 0; i < 20; ++i)
        add(Call::I2cRead, 10000);
    add(Call::Disconnect, 100);
    double recordedSeconds = 20 * 0.01 + 300e-6;
    auto replayIn = [&](dlnsim::replay::Timing timing) {
        auto replay = std::make_shared<dlnsim::replay::Replay>(
            recording, dlnsim::replay::Mode::Strict, [](const std::string &) {}, timing);
        dlnsim::Server server(dlnsim::replay::ReplaySessions(replay), [](const std::string &) {});
        server.start(0);
        Stopwatch watch;
        EXPECT_EQ(DlnConnect(kLoopback, server.port()), DLN_RES_SUCCESS);
        HDLN handle = 0;
        EXPECT_EQ(DlnOpenDevice(0, &handle), DLN_RES_SUCCESS);
        uint8_t byte = 0;
        for (int i = 0; i < 20; ++i)
            EXPECT_EQ(DlnI2cMasterRead(handle, 0, 0x50, 0, 0, 1, &byte), DLN_RES_SUCCESS);
        EXPECT_EQ(DlnDisconnect(kLoopback, server.port()), DLN_RES_SUCCESS);
        double seconds = watch.seconds();
        EXPECT_EQ(byte, 0x2A);
        server.stop();
        EXPECT_TRUE(replay->summary().find("all in order") != std::string::npos)
            << replay->summary();
        return seconds;
    };
    double atOnce = replayIn(dlnsim::replay::Timing::None);
    double recorded = replayIn(dlnsim::replay::Timing::Recorded);
    EXPECT_GE(recorded, recordedSeconds);
    EXPECT_LT(atOnce, recorded / 4);
    std::printf("replay of %.1f ms recorded: %.1f ms at once, %.1f ms as recorded\n",
                recordedSeconds * 1e3, atOnce * 1e3, recorded * 1e3);
}
