// The client contract through libdln over TCP: the simulator's server in this process, on a
// free loopback port of its own for each test.
#include "dln/client_backend.h"

#include "dlnsim/server.h"
#include "tcp_test_support.h"

namespace {

class TcpBackend : public ClientBackend {
  public:
    void serve(std::shared_ptr<dlnsim::Simulator> sim) override {
        server_ = std::make_unique<dlnsim::Server>(std::move(sim), [](const std::string &) {});
        server_->start(0);
        port_ = server_->port();
    }
    void stop() override { server_.reset(); }
    const char *host() const override { return "127.0.0.1"; }
    // "localhost" is one more name (and TCP connection) for the loopback-only server.
    const char *otherHost() const override { return "localhost"; }
    uint16_t port() const override { return port_; }

  private:
    std::unique_ptr<dlnsim::Server> server_;
    uint16_t port_ = UnusedPort(); // nobody listens there before serve()
};

} // namespace

std::unique_ptr<ClientBackend> MakeClientBackend() {
    return std::make_unique<TcpBackend>();
}
