// The device providers' listener: programs that answer the transfers of external devices
// (see docs/device-providers.md) connect here, on loopback, and claim their addresses. Their
// connections are served by one thread of asynchronous I/O of its own.
#pragma once

#include "dlnsim/simulator.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace dlnsim {

class ProviderServer {
  public:
    using Log = std::function<void(const std::string &line)>;
    // log receives a line per provider that claimed devices or left; by default standard
    // error.
    explicit ProviderServer(std::shared_ptr<Simulator> simulator, Log log = {});
    ~ProviderServer(); // stops
    ProviderServer(const ProviderServer &) = delete;
    ProviderServer &operator=(const ProviderServer &) = delete;

    // Listens on 127.0.0.1:port (0 picks a free one). Throws std::runtime_error naming the
    // address and the reason when it cannot listen.
    void start(uint16_t port);
    uint16_t port() const;
    // Closes every provider connection (the transfers waiting on one fail at once) and
    // returns when the serving thread has ended. Stop it before the Server whose clients
    // wait on its providers.
    void stop();

    struct Impl;

  private:
    std::unique_ptr<Impl> impl_;
};

} // namespace dlnsim
