// Small helpers of the TCP tests: a scripted fake server, a stopwatch, the fastest of three
// timed runs and how long a condition is waited for.
#pragma once

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <thread>
#include <vector>

#include "wire.h"

constexpr const char *kLoopback = "127.0.0.1";

// A server on a free loopback port that accepts connections one after the other and, for
// each, answers the first `answers` requests properly (success, the request's sequence
// number, one word 1 or the bytes asked for, each byte the count of answers so far) and
// then answers every further request as `then` says.
class ScriptedServer {
  public:
    enum class Then {
        StaySilent,     // never answers, keeps the connection open
        Close,          // closes the connection
        Trickle,        // announces the largest reply, then sends one byte every 50 ms
        SingleBytes,    // the proper answer, one byte per send
        Duplicate,      // the proper answer twice at once
        LateDuplicate,  // the proper answer, and the same again 20 ms later
        WrongSequence,  // the proper answer numbered for another request
        AheadOfRequest, // the proper answer, and in the same send one numbered for the next
                        // request, holding other bytes
    };
    ScriptedServer(int answers, Then then);
    ~ScriptedServer();
    uint16_t port() const { return port_; }

  private:
    void run();
    bool misbehave(int fd, const dln::wire::Request &request, uint8_t number);
    int listenFd_ = -1;
    uint16_t port_ = 0;
    int answers_;
    Then then_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

// A proxy on a free loopback port in front of a server on target: each request reaches the
// server only `delay` after it came, so every call takes that long; replies go back at once.
class DelayingProxy {
  public:
    DelayingProxy(uint16_t target, std::chrono::milliseconds delay);
    ~DelayingProxy();
    uint16_t port() const { return port_; }
    void setDelay(std::chrono::milliseconds delay) { delayMs_ = delay.count(); }

  private:
    void run();
    void serve(int client);
    int listenFd_ = -1;
    uint16_t port_ = 0;
    uint16_t target_;
    std::atomic<int64_t> delayMs_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

// A socket listening on a free loopback port, which it stores in port; -1 on failure.
int ListenOnLoopback(uint16_t &port);

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

// The seconds the fastest of three runs of run() took: a load spike seldom hits all three, so
// a bound on "at once" holds on a busy machine and still catches a call that waits.
template <class Run> double FastestOfThree(Run run) {
    double fastest = 0;
    for (int i = 0; i < 3; ++i) {
        Stopwatch watch;
        run();
        fastest = i == 0 ? watch.seconds() : std::min(fastest, watch.seconds());
    }
    return fastest;
}

// How long a condition-wait waits before it calls the condition failed: long enough for a
// fully loaded machine, and only spent when the test fails anyway.
constexpr double kPatienceSeconds = 60;
