// DLN_SERVER points our dln at another server than the one the caller asked for; a malformed
// value fails the connection (one line on stderr) rather than reaching the asked-for port.
#include "dln_api.h"
#include "dlnsim/models/register_device.h"
#include "dlnsim/server.h"
#include "tcp_test_support.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

using namespace dlnsim;

namespace {

class ServerVariable : public ::testing::Test {
  protected:
    void SetUp() override {
        sim_ = SimBuilder().i2c(0x50, std::make_shared<RegisterDevice>()).build();
        server_ = std::make_unique<Server>(sim_);
        server_->start(0);
    }
    void TearDown() override {
        unsetenv("DLN_SERVER");
        server_.reset();
    }
    uint16_t port() const { return server_->port(); }
    std::shared_ptr<Simulator> sim_;
    std::unique_ptr<Server> server_;
};

TEST_F(ServerVariable, EachFormReachesTheNamedServerInsteadOfTheAskedForPort) {
    const std::string live = std::to_string(port());
    for (const std::string &value : {live, "127.0.0.1:" + live, "localhost:" + live}) {
        setenv("DLN_SERVER", value.c_str(), 1);
        // Nobody listens on the asked-for port, and each case asks for another one, so no
        // lingering connection of an earlier case can answer.
        uint16_t asked = UnusedPort();
        ASSERT_EQ(DlnConnect("127.0.0.1", asked), DLN_RES_SUCCESS) << "DLN_SERVER=" << value;
        EXPECT_EQ(DlnDisconnect("127.0.0.1", asked), DLN_RES_SUCCESS);
    }
    size_t connects = 0;
    for (const TraceEntry &entry : sim_->trace())
        connects += entry.call == "DlnConnect";
    EXPECT_EQ(connects, 3u);
}

TEST_F(ServerVariable, MalformedValueFailsWithOneLineAndNeverFallsBack) {
    const std::string live = std::to_string(port());
    testing::internal::CaptureStderr();
    for (const std::string &value :
         std::vector<std::string>{"robot", live + "x", "0", "65536", "127.0.0.1:", ":" + live,
                                  "::1:" + live, "127.0.0.1:-" + live}) {
        setenv("DLN_SERVER", value.c_str(), 1);
        // The asked-for port has a live server: reaching it would be a silent fallback.
        EXPECT_EQ(DlnConnect("127.0.0.1", port()), DLN_RES_CONNECTION_FAILED)
            << "DLN_SERVER=" << value;
    }
    std::string told = testing::internal::GetCapturedStderr();
    EXPECT_EQ(told, "dln: DLN_SERVER=\"robot\" is not \"host:port\" or \"port\" (1..65535); "
                    "no connection is made\n");
    EXPECT_TRUE(sim_->trace().empty());

    // Unset or empty: the caller's address, as always.
    setenv("DLN_SERVER", "", 1);
    ASSERT_EQ(DlnConnect("127.0.0.1", port()), DLN_RES_SUCCESS);
    EXPECT_EQ(DlnDisconnect("127.0.0.1", port()), DLN_RES_SUCCESS);
}

} // namespace
