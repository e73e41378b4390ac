// What only the TCP road shows: libdln against the simulator's server in this process (one
// TCP connection per count, restarts, descriptors, bad frames). Servers that die, fall
// silent or misbehave otherwise are in hostile_server_test.cpp; the contract both roads keep
// is in tests/dln.
#include "dln_api.h"
#include "dlnsim/models/register_device.h"
#include "dlnsim/server.h"
#include "tcp_test_support.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <filesystem>
#include <mutex>
#include <thread>

using namespace dlnsim;

namespace {

// Every call must end within the reply time-out (2 s) with the slack a fully loaded machine
// adds past a deadline; a call that waits out two time-outs still fails.
constexpr double kBoundSeconds = 4.0;

class TcpTest : public ::testing::Test {
  protected:
    // The server's client threads log into log_, so it stops before log_ goes.
    void TearDown() override { server_.reset(); }
    void startServer(uint16_t port = 0) {
        sim_ = SimBuilder().i2c(0x50, std::make_shared<RegisterDevice>()).build();
        server_ = std::make_unique<Server>(sim_, [this](const std::string &line) {
            std::lock_guard lock(logMutex_);
            log_.push_back(line);
        });
        server_->start(port);
    }
    std::vector<std::string> log() {
        std::lock_guard lock(logMutex_);
        return log_;
    }
    std::shared_ptr<Simulator> sim_;
    std::unique_ptr<Server> server_;
    std::mutex logMutex_;
    std::vector<std::string> log_;
};

TEST_F(TcpTest, LocalhostFindsALoopbackOnlyServer) {
    startServer();
    // "localhost" may resolve to ::1 first; the server listens on 127.0.0.1 only.
    ASSERT_EQ(DlnConnect("localhost", server_->port()), DLN_RES_SUCCESS);
    EXPECT_EQ(DlnDisconnect("localhost", server_->port()), DLN_RES_SUCCESS);
}

TEST_F(TcpTest, OneTcpConnectionWhileCounted) {
    startServer();
    uint16_t port = server_->port();
    ASSERT_EQ(DlnConnect(kLoopback, port), DLN_RES_SUCCESS);
    for (int i = 0; i < 3; ++i) {
        ASSERT_EQ(DlnConnect(kLoopback, port), DLN_RES_SUCCESS);
        ASSERT_EQ(DlnDisconnect(kLoopback, port), DLN_RES_SUCCESS);
    }
    EXPECT_TRUE(log().empty()) << "a client connection was closed while still counted";
    ASSERT_EQ(DlnDisconnect(kLoopback, port), DLN_RES_SUCCESS);
    server_->stop(); // waits for the client thread, which logs its end
    EXPECT_EQ(log().size(), 1u);
}

TEST_F(TcpTest, NoServerFailsToConnectQuickly) {
    EXPECT_LT(FastestOfThree([] {
                  EXPECT_EQ(DlnConnect(kLoopback, UnusedPort()), DLN_RES_CONNECTION_FAILED);
                  EXPECT_EQ(DlnConnect("no-such-host.invalid", 9656), DLN_RES_CONNECTION_FAILED);
              }),
              kBoundSeconds);
}

TEST_F(TcpTest, StoppedServerFailsCallsAndARestartedOneServesAgain) {
    startServer();
    uint16_t port = server_->port();
    ASSERT_EQ(DlnConnect(kLoopback, port), DLN_RES_SUCCESS); // held, as the ranging sensor does
    HDLN handle = 0;
    ASSERT_EQ(DlnOpenDevice(0, &handle), DLN_RES_SUCCESS);
    server_->stop();

    Stopwatch watch;
    uint8_t count = 0;
    DLN_RESULT first = DlnI2cMasterGetPortCount(handle, &count);
    EXPECT_GE(first, 0x40);
    EXPECT_EQ(DlnI2cMasterGetPortCount(handle, &count), DLN_RES_NOT_CONNECTED);
    EXPECT_LT(watch.seconds(), kBoundSeconds);

    startServer(port);                                       // rebinds the same port at once
    ASSERT_EQ(DlnConnect(kLoopback, port), DLN_RES_SUCCESS); // reconnects the lost connection
    HDLN fresh = 0;
    ASSERT_EQ(DlnOpenDevice(0, &fresh), DLN_RES_SUCCESS);
    EXPECT_EQ(DlnI2cMasterGetPortCount(fresh, &count), DLN_RES_SUCCESS);
    EXPECT_EQ(DlnI2cMasterGetPortCount(handle, &count), DLN_RES_INVALID_HANDLE);
    EXPECT_EQ(DlnDisconnect(kLoopback, port), DLN_RES_SUCCESS);
    EXPECT_EQ(DlnDisconnect(kLoopback, port), DLN_RES_SUCCESS);
    EXPECT_EQ(DlnDisconnect(kLoopback, port), DLN_RES_NOT_CONNECTED);
}

// A held connection (the ranging sensor's) does not notice a restart until its next
// exchange; the next DlnConnect must still reach the new server at once.
TEST_F(TcpTest, ConnectAfterAnUnnoticedRestartReachesTheNewServer) {
    startServer();
    uint16_t port = server_->port();
    ASSERT_EQ(DlnConnect(kLoopback, port), DLN_RES_SUCCESS);
    server_->stop();
    startServer(port);
    ASSERT_EQ(DlnConnect(kLoopback, port), DLN_RES_SUCCESS);
    HDLN handle = 0;
    ASSERT_EQ(DlnOpenDevice(0, &handle), DLN_RES_SUCCESS);
    uint8_t count = 0;
    EXPECT_EQ(DlnI2cMasterGetPortCount(handle, &count), DLN_RES_SUCCESS);
    EXPECT_EQ(DlnDisconnect(kLoopback, port), DLN_RES_SUCCESS);
    EXPECT_EQ(DlnDisconnect(kLoopback, port), DLN_RES_SUCCESS);
    EXPECT_EQ(DlnDisconnect(kLoopback, port), DLN_RES_NOT_CONNECTED);
}

int OpenDescriptors() {
    int count = 0;
    for ([[maybe_unused]] auto &entry : std::filesystem::directory_iterator("/proc/self/fd"))
        ++count;
    return count;
}

// Many short connections, as the library makes one per method: they share one TCP
// connection, and once its linger is over neither side keeps descriptors or threads.
TEST_F(TcpTest, ShortConnectionsLeaveNoDescriptorsBehind) {
    startServer();
    uint16_t port = server_->port();
    auto cycle = [&] {
        ASSERT_EQ(DlnConnect(kLoopback, port), DLN_RES_SUCCESS);
        HDLN handle = 0;
        ASSERT_EQ(DlnOpenDevice(0, &handle), DLN_RES_SUCCESS);
        ASSERT_EQ(DlnCloseHandle(handle), DLN_RES_SUCCESS);
        ASSERT_EQ(DlnDisconnect(kLoopback, port), DLN_RES_SUCCESS);
    };
    int before = OpenDescriptors();
    for (int i = 0; i < 201; ++i)
        cycle();
    // The client closes after its linger (1 s), the server when it sees that end. Earlier
    // tests' lingering connections may close meanwhile too, hence at most as many as before.
    for (Stopwatch watch; OpenDescriptors() > before && watch.seconds() < kPatienceSeconds;)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_LE(OpenDescriptors(), before);
    server_->stop();
    EXPECT_EQ(log().size(), 1u);
}

// Raw clients sending bad frames are dropped; the server keeps serving everyone else.
TEST_F(TcpTest, GarbageAndOversizedFramesDropOnlyTheirClient) {
    startServer();
    uint16_t port = server_->port();
    ASSERT_EQ(DlnConnect(kLoopback, port), DLN_RES_SUCCESS);
    HDLN handle = 0;
    ASSERT_EQ(DlnOpenDevice(0, &handle), DLN_RES_SUCCESS);

    const std::vector<std::vector<uint8_t>> frames = {
        {0xFF, 0xFF, 0xFF, 0x7F},             // 2 GB announced
        {0x02, 0x00, 0x00, 0x00, 0x01, 0x01}, // shorter than any request
        {0x15, 0x00, 0x00, 0x00, 9, 9, 9, 9, 9, 9, 9, 9, 9,
         9,    9,    9,    9,    9, 9, 9, 9, 9, 9, 9, 9}, // version 9
    };
    for (const auto &frame : frames) {
        int fd = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(port);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ASSERT_EQ(connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address), 0);
        ASSERT_EQ(send(fd, frame.data(), frame.size(), MSG_NOSIGNAL),
                  static_cast<ssize_t>(frame.size()));
        uint8_t reply[8];
        timeval limit{static_cast<time_t>(kPatienceSeconds), 0};
        setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
        // Closed with unread bytes the connection is reset rather than ended; both are fine,
        // the time-out is not.
        errno = 0;
        ssize_t n = recv(fd, reply, sizeof reply, 0);
        EXPECT_TRUE(n == 0 || (n < 0 && errno == ECONNRESET))
            << "the server should close the connection: " << n << " " << errno;
        close(fd);
    }
    uint8_t count = 0;
    EXPECT_EQ(DlnI2cMasterGetPortCount(handle, &count), DLN_RES_SUCCESS);
    EXPECT_EQ(DlnDisconnect(kLoopback, port), DLN_RES_SUCCESS);
    server_->stop();
    auto lines = log();
    auto contains = [&](const std::string &text) {
        for (const auto &line : lines)
            if (line.find(text) != std::string::npos)
                return true;
        return false;
    };
    EXPECT_TRUE(contains("frame length 2147483647 outside")) << ::testing::PrintToString(lines);
    EXPECT_TRUE(contains("frame length 2 outside")) << ::testing::PrintToString(lines);
    EXPECT_TRUE(contains("malformed request")) << ::testing::PrintToString(lines);
}

// Clients beyond the limit are refused at once with one line each, not left waiting; a place
// that frees up is taken by the next client.
TEST_F(TcpTest, ClientsBeyondTheLimitAreRefusedAtOnce) {
    sim_ = SimBuilder().build();
    server_ = std::make_unique<Server>(
        sim_,
        [this](const std::string &line) {
            std::lock_guard lock(logMutex_);
            log_.push_back(line);
        },
        2);
    server_->start(0);
    uint16_t port = server_->port();
    auto rawClient = [port] {
        int fd = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(port);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        EXPECT_EQ(connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address), 0);
        return fd;
    };
    int first = rawClient(), second = rawClient();
    EXPECT_LT(
        FastestOfThree([&] { EXPECT_EQ(DlnConnect(kLoopback, port), DLN_RES_NOT_CONNECTED); }),
        0.5);
    auto refusals = [&] {
        int count = 0;
        for (const auto &line : log())
            count += line.find(" refused: 2 clients are connected already (--max-clients)") !=
                     std::string::npos;
        return count;
    };
    EXPECT_EQ(refusals(), 3) << ::testing::PrintToString(log());

    close(first); // and waits until the server has noticed the end
    for (Stopwatch watch; log().size() < 4 && watch.seconds() < kPatienceSeconds;)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_EQ(DlnConnect(kLoopback, port), DLN_RES_SUCCESS);
    EXPECT_EQ(DlnDisconnect(kLoopback, port), DLN_RES_SUCCESS);
    close(second);
}

TEST(TcpServer, RefusesAnAddressItCannotBind) {
    auto sim = SimBuilder().build();
    Server server(sim);
    EXPECT_THROW(server.start(0, "192.0.2.1"), std::runtime_error); // not an address of ours
    EXPECT_THROW(server.start(0, "not-an-address.invalid"), std::runtime_error);
}

} // namespace
