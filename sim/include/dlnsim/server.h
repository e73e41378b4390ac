// The TCP face of a simulator: accepts any number of clients, one thread and one simulator
// session per connection, one reply per request frame.
#pragma once

#include "dlnsim/simulator.h"

#include <atomic>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace dlnsim {

class Server {
  public:
    using Log = std::function<void(const std::string &line)>;
    // log receives one line per dropped client; by default they go to standard error.
    explicit Server(std::shared_ptr<Simulator> simulator, Log log = {});
    ~Server(); // stops
    Server(const Server &) = delete;
    Server &operator=(const Server &) = delete;

    // Listens on bindAddress:port (port 0 picks a free one) and starts accepting. Throws
    // std::runtime_error naming the address and the reason when it cannot listen.
    void start(uint16_t port, const std::string &bindAddress = "127.0.0.1");
    uint16_t port() const { return port_; }
    // Closes the listener and every client connection and waits for their threads.
    void stop();

  private:
    struct Client {
        int fd = -1; // -1 once closed; guarded by clientsMutex_
        std::string peer;
        std::thread thread;
        std::atomic<bool> done{false};
    };
    void acceptLoop();
    void serve(Client &client);
    void reapFinishedClients();

    std::shared_ptr<Simulator> simulator_;
    Log log_;
    int listenFd_ = -1;
    int wakeRead_ = -1; // readable once stop() begins: wakes the accepting thread
    int wakeWrite_ = -1;
    uint16_t port_ = 0;
    std::atomic<bool> stopping_{false};
    std::thread acceptThread_;
    std::mutex clientsMutex_;
    std::list<Client> clients_;
};

} // namespace dlnsim
