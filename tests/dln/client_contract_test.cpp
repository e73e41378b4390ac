// What our dln promises its caller, whichever way it reaches the server: connection
// counting, handles, argument checks, transfers and threads. Compiled into both test
// programs, each with its own backend (client_backend.h). "No traffic" is checked on the
// simulator's trace.
#include "dln/client_backend.h"
#include "dln_api.h"
#include "dlnsim/models/register_device.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <set>
#include <thread>

using namespace dlnsim;

namespace {

class DlnClientContract : public ::testing::Test {
  protected:
    void TearDown() override { backend_->stop(); }

    void serve(SimBuilder builder) {
        sim_ = builder.build();
        backend_->serve(sim_);
    }
    void serveRegisterDevice() {
        serve(SimBuilder().i2c(0x50, std::make_shared<RegisterDevice>()));
    }
    const char *host() const { return backend_->host(); }
    uint16_t port() const { return backend_->port(); }

    HDLN connectAndOpen() {
        EXPECT_EQ(DlnConnect(host(), port()), DLN_RES_SUCCESS);
        HDLN handle = 0;
        EXPECT_EQ(DlnOpenDevice(0, &handle), DLN_RES_SUCCESS);
        EXPECT_NE(handle, 0);
        return handle;
    }

    std::unique_ptr<ClientBackend> backend_ = MakeClientBackend();
    std::shared_ptr<Simulator> sim_;
};

TEST_F(DlnClientContract, RegisterRoundTripAndTheLargestTransfer) {
    serveRegisterDevice();
    HDLN handle = connectAndOpen();
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
    EXPECT_EQ(DlnDisconnect(host(), port()), DLN_RES_SUCCESS);
    EXPECT_EQ(sim_->trace().size(), 10u);
}

TEST_F(DlnClientContract, ConnectionStaysOpenUntilLastDisconnect) {
    serveRegisterDevice();
    HDLN held = connectAndOpen(); // like the ranging sensor, never released
    // Another user connects and disconnects around it.
    ASSERT_EQ(DlnConnect(host(), port()), DLN_RES_SUCCESS);
    HDLN other = 0;
    ASSERT_EQ(DlnOpenDevice(0, &other), DLN_RES_SUCCESS);
    EXPECT_NE(other, held);
    EXPECT_EQ(DlnCloseHandle(other), DLN_RES_SUCCESS);
    EXPECT_EQ(DlnDisconnect(host(), port()), DLN_RES_SUCCESS);

    uint8_t count = 0;
    EXPECT_EQ(DlnI2cMasterGetPortCount(held, &count), DLN_RES_SUCCESS);
    EXPECT_EQ(count, 1);

    EXPECT_EQ(DlnDisconnect(host(), port()), DLN_RES_SUCCESS);
    sim_->clearTrace();
    EXPECT_EQ(DlnI2cMasterGetPortCount(held, &count), DLN_RES_INVALID_HANDLE);
    EXPECT_TRUE(sim_->trace().empty());
}

TEST_F(DlnClientContract, DisconnectOfUnknownConnectionFails) {
    serveRegisterDevice();
    EXPECT_EQ(DlnDisconnect(host(), port()), DLN_RES_NOT_CONNECTED);
    ASSERT_EQ(DlnConnect(host(), port()), DLN_RES_SUCCESS);
    EXPECT_EQ(DlnDisconnect(backend_->otherHost(), port()), DLN_RES_NOT_CONNECTED);
    EXPECT_EQ(DlnDisconnect(host(), static_cast<uint16_t>(port() + 1)), DLN_RES_NOT_CONNECTED);
    EXPECT_EQ(DlnDisconnect(host(), port()), DLN_RES_SUCCESS);
    EXPECT_EQ(DlnDisconnect(host(), port()), DLN_RES_NOT_CONNECTED);
}

TEST_F(DlnClientContract, EveryOpenGivesANewHandle) {
    serveRegisterDevice();
    ASSERT_EQ(DlnConnect(host(), port()), DLN_RES_SUCCESS);
    std::set<HDLN> handles;
    for (int i = 0; i < 5; ++i) {
        HDLN handle = 0;
        ASSERT_EQ(DlnOpenDevice(0, &handle), DLN_RES_SUCCESS);
        EXPECT_NE(handle, 0);
        handles.insert(handle);
    }
    EXPECT_EQ(handles.size(), 5u);
    EXPECT_EQ(DlnDisconnect(host(), port()), DLN_RES_SUCCESS);
}

TEST_F(DlnClientContract, OnlyAdapterZeroExists) {
    serveRegisterDevice();
    ASSERT_EQ(DlnConnect(host(), port()), DLN_RES_SUCCESS);
    HDLN handle = 0x1234;
    EXPECT_EQ(DlnOpenDevice(1, &handle), DLN_RES_NO_SUCH_DEVICE);
    EXPECT_EQ(handle, 0x1234); // untouched on failure
    EXPECT_EQ(DlnDisconnect(host(), port()), DLN_RES_SUCCESS);
}

TEST_F(DlnClientContract, OpenWithoutConnectionFailsWithoutTraffic) {
    serveRegisterDevice();
    HDLN handle = 0;
    EXPECT_EQ(DlnOpenDevice(0, &handle), DLN_RES_NOT_CONNECTED);
    EXPECT_TRUE(sim_->trace().empty());
}

TEST_F(DlnClientContract, ConnectWithoutServerFails) {
    EXPECT_EQ(DlnConnect(host(), port()), DLN_RES_CONNECTION_FAILED);
    EXPECT_EQ(DlnDisconnect(host(), port()), DLN_RES_NOT_CONNECTED);
}

// Each bad call must fail without a single request reaching the adapter.
TEST_F(DlnClientContract, InvalidHandlesAndNullPointersMakeNoTraffic) {
    serveRegisterDevice();
    HDLN handle = connectAndOpen();
    HDLN closed = 0;
    ASSERT_EQ(DlnOpenDevice(0, &closed), DLN_RES_SUCCESS);
    ASSERT_EQ(DlnCloseHandle(closed), DLN_RES_SUCCESS);
    sim_->clearTrace();

    uint8_t byte = 0, list[256];
    DLN_VERSION version{};
    struct Case {
        const char *what;
        DLN_RESULT expected;
        std::function<DLN_RESULT()> call;
    };
    const Case cases[] = {
        {"handle 0 version", DLN_RES_INVALID_HANDLE, [&] { return DlnGetVersion(0, &version); }},
        {"closed handle version", DLN_RES_INVALID_HANDLE,
         [&] { return DlnGetVersion(closed, &version); }},
        {"never issued handle", DLN_RES_INVALID_HANDLE,
         [&] { return DlnI2cMasterGetPortCount(0xBEEF, &byte); }},
        {"closed handle close", DLN_RES_INVALID_HANDLE, [&] { return DlnCloseHandle(closed); }},
        {"handle 0 write", DLN_RES_INVALID_HANDLE,
         [&] { return DlnI2cMasterWrite(0, 0, 0x50, 0, 0, 1, &byte); }},
        {"handle 0 spi transfer", DLN_RES_INVALID_HANDLE,
         [&] { return DlnSpiMasterReadWrite(0, 0, 1, &byte, &byte); }},
        {"null connect host", DLN_RES_INVALID_ARGUMENT, [&] { return DlnConnect(nullptr, 1); }},
        {"empty connect host", DLN_RES_INVALID_ARGUMENT, [&] { return DlnConnect("", 1); }},
        {"null disconnect host", DLN_RES_INVALID_ARGUMENT,
         [&] { return DlnDisconnect(nullptr, 1); }},
        {"null open handle", DLN_RES_INVALID_ARGUMENT, [&] { return DlnOpenDevice(0, nullptr); }},
        {"null version", DLN_RES_INVALID_ARGUMENT, [&] { return DlnGetVersion(handle, nullptr); }},
        {"null port count", DLN_RES_INVALID_ARGUMENT,
         [&] { return DlnI2cMasterGetPortCount(handle, nullptr); }},
        {"null frequency", DLN_RES_INVALID_ARGUMENT,
         [&] { return DlnSpiMasterGetFrequency(handle, 0, nullptr); }},
        {"null enable output", DLN_RES_INVALID_ARGUMENT,
         [&] { return DlnI2cMasterEnable(handle, 0, nullptr); }},
        {"null scan count", DLN_RES_INVALID_ARGUMENT,
         [&] { return DlnI2cMasterScanDevices(handle, 0, nullptr, list); }},
        {"null scan list", DLN_RES_INVALID_ARGUMENT,
         [&] { return DlnI2cMasterScanDevices(handle, 0, &byte, nullptr); }},
        {"null write buffer", DLN_RES_INVALID_ARGUMENT,
         [&] { return DlnI2cMasterWrite(handle, 0, 0x50, 0, 0, 2, nullptr); }},
        {"null read buffer", DLN_RES_INVALID_ARGUMENT,
         [&] { return DlnI2cMasterRead(handle, 0, 0x50, 0, 0, 2, nullptr); }},
        {"null spi mode", DLN_RES_INVALID_ARGUMENT,
         [&] { return DlnSpiMasterGetMode(handle, 0, nullptr); }},
        {"null actual frequency", DLN_RES_INVALID_ARGUMENT,
         [&] { return DlnSpiMasterSetFrequency(handle, 0, 1000, nullptr); }},
        {"null spi receive buffer", DLN_RES_INVALID_ARGUMENT,
         [&] { return DlnSpiMasterReadWrite(handle, 0, 1, &byte, nullptr); }},
        {"null spi send buffer", DLN_RES_INVALID_ARGUMENT,
         [&] { return DlnSpiMasterReadWrite(handle, 0, 1, nullptr, &byte); }},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(c.call(), c.expected) << c.what;
        EXPECT_TRUE(sim_->trace().empty()) << c.what << " reached the adapter";
        sim_->clearTrace();
    }
    EXPECT_EQ(DlnDisconnect(host(), port()), DLN_RES_SUCCESS);
}

TEST_F(DlnClientContract, ZeroLengthTransfersNeedNoBuffer) {
    serveRegisterDevice();
    HDLN handle = connectAndOpen();
    EXPECT_EQ(DlnI2cMasterWrite(handle, 0, 0x50, 0, 0, 0, nullptr), DLN_RES_SUCCESS);
    EXPECT_EQ(DlnI2cMasterRead(handle, 0, 0x50, 0, 0, 0, nullptr), DLN_RES_SUCCESS);
    EXPECT_EQ(DlnSpiMasterReadWrite(handle, 0, 0, nullptr, nullptr), DLN_RES_SUCCESS);
    EXPECT_EQ(DlnDisconnect(host(), port()), DLN_RES_SUCCESS);
}

TEST_F(DlnClientContract, FailedCallLeavesOutputsUntouched) {
    serve(SimBuilder().fault({"DlnGetVersion", DLN_RES_FAIL, 0}));
    HDLN handle = connectAndOpen();
    DLN_VERSION version{7, 7, 7, 7, 7};
    EXPECT_EQ(DlnGetVersion(handle, &version), DLN_RES_FAIL);
    EXPECT_EQ(version.hardwareType, 7u);
    EXPECT_EQ(version.libraryVersion, 7u);
    EXPECT_EQ(DlnDisconnect(host(), port()), DLN_RES_SUCCESS);
}

TEST_F(DlnClientContract, ClosingTheConnectionClosesItsHandles) {
    serveRegisterDevice();
    HDLN handle = connectAndOpen();
    ASSERT_EQ(DlnDisconnect(host(), port()), DLN_RES_SUCCESS);
    // A fresh connection cannot use the old handle, and gets a different one.
    HDLN fresh = connectAndOpen();
    uint8_t count = 0;
    EXPECT_EQ(DlnI2cMasterGetPortCount(handle, &count), DLN_RES_INVALID_HANDLE);
    EXPECT_EQ(DlnI2cMasterGetPortCount(fresh, &count), DLN_RES_SUCCESS);
    EXPECT_EQ(DlnDisconnect(host(), port()), DLN_RES_SUCCESS);
}

// Two connections (two names of one server), each shared by two threads that talk to a
// device of their own: every call gets the replies to its own transfers.
TEST_F(DlnClientContract, ThreadsOnSharedConnectionsGetTheirOwnReplies) {
    serve(SimBuilder()
              .i2c(0x10, std::make_shared<RegisterDevice>())
              .i2c(0x11, std::make_shared<RegisterDevice>())
              .i2c(0x12, std::make_shared<RegisterDevice>())
              .i2c(0x13, std::make_shared<RegisterDevice>()));
    const char *hosts[] = {host(), backend_->otherHost()};
    for (const char *name : hosts)
        ASSERT_EQ(DlnConnect(name, port()), DLN_RES_SUCCESS);
    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    for (uint8_t t = 0; t < 4; ++t)
        threads.emplace_back([&, t] {
            if (DlnConnect(hosts[t % 2], port()) != DLN_RES_SUCCESS) {
                ++failures;
                return;
            }
            HDLN handle = 0;
            if (DlnOpenDevice(0, &handle) != DLN_RES_SUCCESS) {
                ++failures;
                return;
            }
            uint8_t address = static_cast<uint8_t>(0x10 + t);
            for (int i = 0; i < 200; ++i) {
                uint8_t out[3] = {0x00, static_cast<uint8_t>(i), address}, pointer = 0;
                uint8_t in[2] = {};
                if (DlnI2cMasterWrite(handle, 0, address, 0, 0, 3, out) != DLN_RES_SUCCESS ||
                    DlnI2cMasterWrite(handle, 0, address, 0, 0, 1, &pointer) != DLN_RES_SUCCESS ||
                    DlnI2cMasterRead(handle, 0, address, 0, 0, 2, in) != DLN_RES_SUCCESS ||
                    in[0] != out[1] || in[1] != address)
                    ++failures;
            }
            DlnCloseHandle(handle);
            DlnDisconnect(hosts[t % 2], port());
        });
    for (auto &thread : threads)
        thread.join();
    EXPECT_EQ(failures, 0);
    for (const char *name : hosts)
        EXPECT_EQ(DlnDisconnect(name, port()), DLN_RES_SUCCESS);
}

} // namespace
