// The TCP connection outlives its count for a short linger, so that the library's connect and
// disconnect around every method reuse one connection, yet a server that goes away meanwhile
// is noticed by the next connect.
#include "dln_api.h"
#include "dlnsim/models/register_device.h"
#include "dlnsim/server.h"
#include "tcp_test_support.h"

#include <gtest/gtest.h>

#include <mutex>

using namespace dlnsim;

namespace {

constexpr const char *kHost = "127.0.0.1";

// A server whose log of ended clients the test reads.
struct LoggedServer {
    std::mutex mutex;
    std::vector<std::string> lines;
    std::shared_ptr<Simulator> sim =
        SimBuilder().i2c(0x50, std::make_shared<RegisterDevice>()).build();
    Server server{sim, [this](const std::string &line) {
                      std::lock_guard lock(mutex);
                      lines.push_back(line);
                  }};
    size_t ended() {
        std::lock_guard lock(mutex);
        return lines.size();
    }
};

// The library's sequence in short: connect, open, close, disconnect.
void Cycle(uint16_t port) {
    ASSERT_EQ(DlnConnect(kHost, port), DLN_RES_SUCCESS);
    HDLN handle = 0;
    ASSERT_EQ(DlnOpenDevice(0, &handle), DLN_RES_SUCCESS);
    ASSERT_EQ(DlnCloseHandle(handle), DLN_RES_SUCCESS);
    ASSERT_EQ(DlnDisconnect(kHost, port), DLN_RES_SUCCESS);
}

TEST(Linger, UncountedConnectionIsClosedToCallersAndReusedByTheNextConnect) {
    LoggedServer s;
    s.server.start(0);
    uint16_t port = s.server.port();
    for (int i = 0; i < 3; ++i)
        Cycle(port);
    EXPECT_EQ(s.ended(), 0u) << "each cycle opened a TCP connection of its own";
    size_t connects = 0;
    for (const TraceEntry &entry : s.sim->trace())
        connects += entry.call == "DlnConnect";
    EXPECT_EQ(connects, 3u) << "the server must still see every connect";

    // Lingering is invisible to callers: nothing is counted, so nothing may be used.
    HDLN handle = 0;
    EXPECT_EQ(DlnOpenDevice(0, &handle), DLN_RES_NOT_CONNECTED);
    EXPECT_EQ(DlnDisconnect(kHost, port), DLN_RES_NOT_CONNECTED);

    Stopwatch watch;
    while (s.ended() == 0 && watch.seconds() < kPatienceSeconds)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    ASSERT_EQ(s.ended(), 1u) << "the lingering connection was never closed";
    EXPECT_GT(watch.seconds(), 0.5);
    EXPECT_NE(s.lines[0].find("disconnected"), std::string::npos) << s.lines[0];
}

TEST(Linger, ServerGoneDuringTheLingerFailsTheNextConnectAndARestartedOneServes) {
    // Three times over on one port: the fastest failing connect shows it waits for no reply.
    uint16_t port = 0;
    double fastest = kPatienceSeconds;
    for (int i = 0; i < 3; ++i) {
        auto s = std::make_unique<LoggedServer>();
        s->server.start(port);
        port = s->server.port();
        Cycle(port);
        s.reset(); // the server stops while our connection lingers

        Stopwatch watch;
        EXPECT_EQ(DlnConnect(kHost, port), DLN_RES_CONNECTION_FAILED);
        fastest = std::min(fastest, watch.seconds());
        EXPECT_EQ(DlnDisconnect(kHost, port), DLN_RES_NOT_CONNECTED);
    }
    EXPECT_LT(fastest, 1.0);

    LoggedServer restarted;
    restarted.server.start(port);
    Cycle(port);
    Cycle(port);
    EXPECT_EQ(restarted.ended(), 0u);
}

} // namespace
