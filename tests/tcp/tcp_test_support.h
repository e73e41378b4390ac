// Small helpers of the TCP tests: a scripted fake server and a stopwatch.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <thread>

// A server on a free loopback port that accepts connections and, for each, answers the
// first `answers` requests properly (success, one word 1) and then either stays silent or
// closes the connection as soon as the next request arrives.
class ScriptedServer {
  public:
    enum class Then { StaySilent, Close };
    ScriptedServer(int answers, Then then);
    ~ScriptedServer();
    uint16_t port() const { return port_; }

  private:
    void run();
    int listenFd_ = -1;
    uint16_t port_ = 0;
    int answers_;
    Then then_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

// A loopback port nobody listens on (bound once, then released).
uint16_t UnusedPort();

class Stopwatch {
  public:
    double seconds() const {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    }

  private:
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};
