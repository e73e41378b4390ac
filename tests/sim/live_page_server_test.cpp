// The live page's server against hostile and slow clients: requests naming another host or
// coming from another origin, big bodies, slow senders and many idle streams.
#include "dlnsim/scenario.h"
#include "live_page.h"
#include "request_guard.h"

#include <gtest/gtest.h>
#include <httplib.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <vector>

using namespace dlnsim;

namespace {

// A TCP connection to the page that sends what it is given and reads nothing.
class RawClient {
  public:
    explicit RawClient(uint16_t port) : fd_(socket(AF_INET, SOCK_STREAM, 0)) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(port);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        connected_ = connect(fd_, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0;
    }
    ~RawClient() { close(fd_); }
    RawClient(const RawClient &) = delete;
    RawClient &operator=(const RawClient &) = delete;
    bool connected() const { return connected_; }
    void send(const std::string &text) {
        (void)::send(fd_, text.data(), text.size(), MSG_NOSIGNAL);
    }

  private:
    int fd_;
    bool connected_ = false;
};

std::shared_ptr<Simulator> PageRobot() {
    return LoadScenario(DefaultScenarioText(), "robot.json").build();
}

double SecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

} // namespace

TEST(RequestGuard, OnlyThePagesOwnAddressAndOriginAreAnswered) {
    struct Case {
        const char *bind;
        const char *host;
        const char *origin; // null: none sent
        bool answered;
    };
    const Case cases[] = {
        {"127.0.0.1", "127.0.0.1:8080", nullptr, true},
        {"127.0.0.1", "localhost:8080", nullptr, true},
        {"127.0.0.1", "LocalHost:8080", "http://localhost:8080", true},
        {"127.0.0.1", "[::1]:8080", nullptr, true},
        {"127.0.0.1", "127.0.0.1:8080", "http://127.0.0.1:8080", true},
        // DNS rebinding: another site's name resolving to 127.0.0.1.
        {"127.0.0.1", "evil.example:8080", nullptr, false},
        {"127.0.0.1", "localhost.evil.example:8080", nullptr, false},
        {"127.0.0.1", "127.0.0.1:8081", nullptr, false},
        {"127.0.0.1", "127.0.0.1", nullptr, false},
        {"127.0.0.1", "", nullptr, false},
        // Another page's script.
        {"127.0.0.1", "127.0.0.1:8080", "http://evil.example", false},
        {"127.0.0.1", "127.0.0.1:8080", "null", false},
        {"127.0.0.1", "127.0.0.1:8080", "http://localhost:8080", false},
        // --http-public: the bind address too; on a wildcard bind any IP address, no name.
        {"192.168.1.5", "192.168.1.5:8080", nullptr, true},
        {"192.168.1.5", "192.168.1.6:8080", nullptr, false},
        {"0.0.0.0", "10.1.2.3:8080", "http://10.1.2.3:8080", true},
        {"0.0.0.0", "[fe80::1]:8080", nullptr, true},
        {"0.0.0.0", "robot.example:8080", nullptr, false},
    };
    for (const Case &c : cases) {
        RequestGuard guard(c.bind, 8080);
        std::optional<std::string> origin;
        if (c.origin != nullptr)
            origin = c.origin;
        EXPECT_EQ(!guard.refusal(c.host, origin).has_value(), c.answered)
            << c.bind << " " << c.host << " " << (c.origin ? c.origin : "");
    }
    EXPECT_EQ(RequestGuard("127.0.0.1", 80).refusal("localhost", std::nullopt), std::nullopt);
}

TEST(LivePageServer, HostileRequestsAreRefusedAndEveryAnswerForbidsFraming) {
    LivePage page(PageRobot());
    page.start(0, "127.0.0.1");
    httplib::Client client("127.0.0.1", page.port());
    const std::string own = "127.0.0.1:" + std::to_string(page.port());

    auto state = client.Get("/api/state");
    ASSERT_TRUE(state);
    EXPECT_EQ(state->status, 200);
    EXPECT_EQ(state->get_header_value("X-Frame-Options"), "DENY");
    EXPECT_EQ(state->get_header_value("Content-Security-Policy"), "frame-ancestors 'none'");
    EXPECT_EQ(state->get_header_value("X-Content-Type-Options"), "nosniff");

    auto rebound =
        client.Get("/api/state", {{"Host", "evil.example:" + std::to_string(page.port())}});
    ASSERT_TRUE(rebound);
    EXPECT_EQ(rebound->status, 403);
    EXPECT_NE(rebound->body.find("is not this page's address"), std::string::npos);

    auto foreign = client.Post("/api/world", {{"Origin", "http://evil.example"}},
                               R"({"i2c": 41, "set": {"distanceMm": 100}})", "application/json");
    ASSERT_TRUE(foreign);
    EXPECT_EQ(foreign->status, 403);
    auto same = client.Post("/api/world", {{"Origin", "http://" + own}},
                            R"({"i2c": 41, "set": {"distanceMm": 100}})", "application/json");
    ASSERT_TRUE(same);
    EXPECT_EQ(same->status, 200);

    std::string big(1 << 20, ' ');
    big[0] = '{';
    big.back() = '}';
    auto huge = client.Post("/api/world", big, "application/json");
    ASSERT_TRUE(huge);
    EXPECT_EQ(huge->status, 413);
    EXPECT_NE(huge->body.find("at most 64 KB"), std::string::npos);
}

// Slow senders each hold their own connection, idle streams their own thread: the state
// still answers at once, and stopping does not wait for any of them.
TEST(LivePageServer, SlowClientsAndIdleStreamsNeitherBlockTheStateNorTheStop) {
    LivePage page(PageRobot());
    page.start(0, "127.0.0.1");
    const std::string host = "Host: 127.0.0.1:" + std::to_string(page.port()) + "\r\n";
    std::vector<std::unique_ptr<RawClient>> clients;
    for (int i = 0; i < 8; ++i) {
        clients.push_back(std::make_unique<RawClient>(page.port()));
        clients.back()->send("G"); // and nothing more
    }
    for (int i = 0; i < 50; ++i) {
        clients.push_back(std::make_unique<RawClient>(page.port()));
        clients.back()->send("GET /api/events HTTP/1.1\r\n" + host + "\r\n");
    }
    for (const auto &client : clients)
        ASSERT_TRUE(client->connected());

    httplib::Client client("127.0.0.1", page.port());
    client.set_read_timeout(10, 0);
    auto start = std::chrono::steady_clock::now();
    auto state = client.Get("/api/state");
    double answeredS = SecondsSince(start);
    ASSERT_TRUE(state);
    EXPECT_EQ(state->status, 200);
    // One second is the promise; a machine loaded by parallel builds gets some slack.
    EXPECT_LT(answeredS, 3.0);

    start = std::chrono::steady_clock::now();
    page.stop();
    EXPECT_LT(SecondsSince(start), 3.0);
}
