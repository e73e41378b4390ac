// The round-trip floor: the same request/reply exchanges as an adapter call sequence, over a
// bare TCP socket on loopback (TCP_NODELAY on both sides) to an echo server that only answers.
#pragma once

#include "frame_sizes.h"

#include <cstdint>
#include <thread>
#include <vector>

// A server on 127.0.0.1 (a free port) that answers every frame with a frame of the size the
// request names, serving one client after the other. Lives until destroyed.
class EchoServer {
  public:
    EchoServer();
    ~EchoServer();
    EchoServer(const EchoServer &) = delete;
    EchoServer &operator=(const EchoServer &) = delete;
    uint16_t port() const { return port_; }

  private:
    void acceptLoop();
    int listenFd_ = -1;
    uint16_t port_ = 0;
    std::thread acceptThread_;
};

// A client connection to an EchoServer (connected on construction, closed on destruction).
class EchoClient {
  public:
    explicit EchoClient(uint16_t port); // throws std::runtime_error when it cannot connect
    ~EchoClient();
    EchoClient(const EchoClient &) = delete;
    EchoClient &operator=(const EchoClient &) = delete;
    // Sends a request of sizes.request bytes and waits for the reply of sizes.reply bytes.
    void exchange(const FrameSizes &sizes);

  private:
    int fd_ = -1;
    std::vector<uint8_t> buffer_ = std::vector<uint8_t>(1 << 17);
};

// Runs the exchanges reps times over one connection; the microseconds of each run.
std::vector<double> TimeExchanges(uint16_t port, const std::vector<FrameSizes> &exchanges,
                                  int reps);
// Microseconds of each of reps TCP connects to port followed by a close.
std::vector<double> TimeConnects(uint16_t port, int reps);
