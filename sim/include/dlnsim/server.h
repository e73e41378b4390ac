// The TCP face of a simulator: accepts up to a limit of clients, one simulator session per
// connection, one reply per request frame. The connections are served by one thread of
// asynchronous I/O, on Linux and on Windows alike.
#pragma once

#include "dlnsim/session.h"
#include "dlnsim/simulator.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace dlnsim {

class Server {
  public:
    using Log = std::function<void(const std::string &line)>;
    // The default log: line to standard error, flushed.
    static void LogToStandardError(const std::string &line);
    static constexpr size_t kDefaultMaxClients = 64;
    // log receives one line per ended or refused client; by default they go to standard
    // error. A client beyond maxClients connected at once is refused: its connection is
    // closed at once, so its connect fails instead of waiting.
    explicit Server(std::shared_ptr<Simulator> simulator, Log log = {},
                    size_t maxClients = kDefaultMaxClients);
    // Each connection gets the session newSession makes (a replay's, say).
    using NewSession = std::function<std::unique_ptr<Session>()>;
    explicit Server(NewSession newSession, Log log = {}, size_t maxClients = kDefaultMaxClients);
    ~Server(); // stops
    Server(const Server &) = delete;
    Server &operator=(const Server &) = delete;

    // Listens on bindAddress:port (port 0 picks a free one) and starts accepting. Throws
    // std::runtime_error naming the address and the reason when it cannot listen.
    void start(uint16_t port, const std::string &bindAddress = "127.0.0.1");
    uint16_t port() const;
    // Closes the listener and every client connection, logs their ends and returns when the
    // serving thread has ended.
    void stop();

    struct Impl;

  private:
    std::unique_ptr<Impl> impl_;
};

} // namespace dlnsim
