// libdln over TCP against the simulator's server in this process, against scripted servers
// that die or fall silent, and the dln-sim program itself.
#include "dln_api.h"
#include "register_device.h"
#include "server.h"
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

constexpr const char *kLoopback = "127.0.0.1";
// Every call must end within the reply time-out (2 s) with some slack for a loaded machine.
constexpr double kBoundSeconds = 3.5;

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

TEST_F(TcpTest, RegisterRoundTripThroughTheServer) {
    startServer();
    uint16_t port = server_->port();
    ASSERT_EQ(DlnConnect(kLoopback, port), DLN_RES_SUCCESS);
    HDLN handle = 0;
    ASSERT_EQ(DlnOpenDevice(0, &handle), DLN_RES_SUCCESS);
    DLN_VERSION version{};
    ASSERT_EQ(DlnGetVersion(handle, &version), DLN_RES_SUCCESS);
    EXPECT_EQ(version.hardwareType, 0x0401u);
    const uint8_t out[] = {0x10, 0xCA, 0xFE};
    const uint8_t pointer[] = {0x10};
    uint8_t in[2] = {};
    ASSERT_EQ(DlnI2cMasterWrite(handle, 0, 0x50, 0, 0, 3, out), DLN_RES_SUCCESS);
    ASSERT_EQ(DlnI2cMasterWrite(handle, 0, 0x50, 0, 0, 1, pointer), DLN_RES_SUCCESS);
    ASSERT_EQ(DlnI2cMasterRead(handle, 0, 0x50, 0, 0, 2, in), DLN_RES_SUCCESS);
    EXPECT_EQ(in[0], 0xCA);
    EXPECT_EQ(in[1], 0xFE);
    EXPECT_EQ(DlnI2cMasterRead(handle, 0, 0x51, 0, 0, 2, in), DLN_RES_I2C_NACK);
    // The largest transfer the interface can express fits in one frame.
    std::vector<uint8_t> big(65535, 0x5A), back(65535, 0);
    EXPECT_EQ(DlnSpiMasterReadWrite(handle, 0, 65535, big.data(), back.data()), DLN_RES_SUCCESS);
    EXPECT_EQ(back, std::vector<uint8_t>(65535, 0xFF));
    EXPECT_EQ(DlnCloseHandle(handle), DLN_RES_SUCCESS);
    EXPECT_EQ(DlnDisconnect(kLoopback, port), DLN_RES_SUCCESS);
    EXPECT_EQ(sim_->trace().size(), 10u);
}

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
    Stopwatch watch;
    EXPECT_EQ(DlnConnect(kLoopback, UnusedPort()), DLN_RES_CONNECTION_FAILED);
    EXPECT_EQ(DlnConnect("no-such-host.invalid", 9656), DLN_RES_CONNECTION_FAILED);
    EXPECT_LT(watch.seconds(), kBoundSeconds);
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

// Threads on two TCP connections at once (two host names are two connections), each
// talking to its own device: every call gets the replies to its own transfers.
TEST_F(TcpTest, ConcurrentClientsGetTheirOwnReplies) {
    sim_ = SimBuilder()
               .i2c(0x10, std::make_shared<RegisterDevice>())
               .i2c(0x11, std::make_shared<RegisterDevice>())
               .i2c(0x12, std::make_shared<RegisterDevice>())
               .i2c(0x13, std::make_shared<RegisterDevice>())
               .build();
    server_ = std::make_unique<Server>(sim_, [](const std::string &) {});
    server_->start(0);
    uint16_t port = server_->port();
    const char *hosts[] = {kLoopback, "localhost"};
    for (const char *host : hosts)
        ASSERT_EQ(DlnConnect(host, port), DLN_RES_SUCCESS);
    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    for (uint8_t t = 0; t < 4; ++t)
        threads.emplace_back([&, t] {
            if (DlnConnect(hosts[t % 2], port) != DLN_RES_SUCCESS) {
                ++failures;
                return;
            }
            HDLN handle = 0;
            if (DlnOpenDevice(0, &handle) != DLN_RES_SUCCESS) {
                ++failures;
                return;
            }
            uint8_t address = static_cast<uint8_t>(0x10 + t);
            for (int i = 0; i < 150; ++i) {
                uint8_t out[3] = {0x00, static_cast<uint8_t>(i), address}, pointer = 0;
                uint8_t in[2] = {};
                if (DlnI2cMasterWrite(handle, 0, address, 0, 0, 3, out) != DLN_RES_SUCCESS ||
                    DlnI2cMasterWrite(handle, 0, address, 0, 0, 1, &pointer) != DLN_RES_SUCCESS ||
                    DlnI2cMasterRead(handle, 0, address, 0, 0, 2, in) != DLN_RES_SUCCESS ||
                    in[0] != out[1] || in[1] != address)
                    ++failures;
            }
            DlnCloseHandle(handle);
            DlnDisconnect(hosts[t % 2], port);
        });
    for (auto &thread : threads)
        thread.join();
    EXPECT_EQ(failures, 0);
    for (const char *host : hosts)
        EXPECT_EQ(DlnDisconnect(host, port), DLN_RES_SUCCESS);
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
    for (int i = 0; i < 300 && OpenDescriptors() > before; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_LE(OpenDescriptors(), before);
    server_->stop();
    EXPECT_EQ(log().size(), 1u);
}

TEST(TcpFaults, SilentServerTimesOut) {
    ScriptedServer silent(2, ScriptedServer::Then::StaySilent); // answers connect and open
    ASSERT_EQ(DlnConnect(kLoopback, silent.port()), DLN_RES_SUCCESS);
    HDLN handle = 0;
    ASSERT_EQ(DlnOpenDevice(0, &handle), DLN_RES_SUCCESS);
    Stopwatch watch;
    uint8_t count = 0;
    EXPECT_EQ(DlnI2cMasterGetPortCount(handle, &count), DLN_RES_TIMEOUT);
    EXPECT_GT(watch.seconds(), 1.0);
    EXPECT_LT(watch.seconds(), kBoundSeconds);
    // The connection is out of step now: later calls fail at once.
    Stopwatch again;
    EXPECT_EQ(DlnI2cMasterGetPortCount(handle, &count), DLN_RES_NOT_CONNECTED);
    EXPECT_LT(again.seconds(), 0.5);
    EXPECT_EQ(DlnDisconnect(kLoopback, silent.port()), DLN_RES_NOT_CONNECTED);
}

TEST(TcpFaults, ServerSilentFromTheStartTimesOutTheConnect) {
    ScriptedServer silent(0, ScriptedServer::Then::StaySilent);
    Stopwatch watch;
    EXPECT_EQ(DlnConnect(kLoopback, silent.port()), DLN_RES_TIMEOUT);
    EXPECT_LT(watch.seconds(), kBoundSeconds);
    EXPECT_EQ(DlnDisconnect(kLoopback, silent.port()), DLN_RES_NOT_CONNECTED);
}

TEST(TcpFaults, ServerDyingInTheMiddleOfACallFailsItAtOnce) {
    ScriptedServer dying(2, ScriptedServer::Then::Close);
    ASSERT_EQ(DlnConnect(kLoopback, dying.port()), DLN_RES_SUCCESS);
    HDLN handle = 0;
    ASSERT_EQ(DlnOpenDevice(0, &handle), DLN_RES_SUCCESS);
    Stopwatch watch;
    uint8_t buffer[4] = {};
    EXPECT_EQ(DlnI2cMasterRead(handle, 0, 0x50, 0, 0, 4, buffer), DLN_RES_NOT_CONNECTED);
    EXPECT_LT(watch.seconds(), 1.0);
    EXPECT_EQ(DlnDisconnect(kLoopback, dying.port()), DLN_RES_NOT_CONNECTED);
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
        {0x11, 0x00, 0x00, 0x00, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9}, // version 9
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
        timeval limit{3, 0};
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
    for (int attempt = 0; attempt < 3; ++attempt) {
        Stopwatch watch;
        EXPECT_EQ(DlnConnect(kLoopback, port), DLN_RES_NOT_CONNECTED);
        EXPECT_LT(watch.seconds(), 0.5);
    }
    auto refusals = [&] {
        int count = 0;
        for (const auto &line : log())
            count += line.find(" refused: 2 clients are connected already (--max-clients)") !=
                     std::string::npos;
        return count;
    };
    EXPECT_EQ(refusals(), 3) << ::testing::PrintToString(log());

    close(first);
    for (int i = 0; i < 200 && log().size() < 4; ++i) // the server notices the end
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
