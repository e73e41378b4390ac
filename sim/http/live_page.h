// dln-sim's live page: an HTTP server showing the simulated robot and taking world changes.
//
//   GET    /                 the page (HTML, its script and style, and chart.js, built in)
//   GET    /api/state        the state as JSON (see LiveState::snapshot)
//   GET    /api/events       the same as server-sent events, four times a second; 128 streams
//                            at most (503 beyond: the page then polls /api/state)
//   POST   /api/world        a world change (see world_change.h), JSON
//   POST   /api/faults       a fault to inject now (see fault_json.h), JSON
//   DELETE /api/faults       clears the pending faults
//   GET    /bus.vcd          the calls of the last minute as a waveform (see bus_waveform.h)
//
// POST bodies must be sent as application/json, which a browser does not send to another
// origin without asking first (and this server never agrees), so other web pages cannot
// change the world; a request naming another Host than the page's address, or from another
// Origin, is refused (403); the page cannot be framed; bodies above 64 KB are refused (413).
// Each connection has a thread of its own and must send its request promptly, so slow
// clients cannot keep the page from others; stop() returns within half a second.
#pragma once

#include "dlnsim/simulator.h"

#include <cstdint>
#include <memory>
#include <string>
#include <thread>

namespace httplib {
class Server;
}

namespace dlnsim {

class LiveState;
class RequestGuard;
class RecentCalls;

class LivePage {
  public:
    // recent: the calls the waveform download draws (the simulator must feed it); without
    // them the page has no download.
    explicit LivePage(std::shared_ptr<Simulator> simulator,
                      std::shared_ptr<RecentCalls> recent = nullptr);
    ~LivePage(); // stops
    LivePage(const LivePage &) = delete;
    LivePage &operator=(const LivePage &) = delete;

    // Listens on bindAddress:port (0 picks a free port) and serves from a thread of its own.
    // Throws std::runtime_error naming the address when it cannot listen.
    void start(uint16_t port, const std::string &bindAddress);
    uint16_t port() const { return port_; }
    void stop();

  private:
    void route();

    std::shared_ptr<Simulator> simulator_;
    std::shared_ptr<RecentCalls> recent_;
    std::unique_ptr<LiveState> state_;
    std::unique_ptr<httplib::Server> server_;
    std::unique_ptr<RequestGuard> guard_; // set by start(), before the first request
    std::thread thread_;
    uint16_t port_ = 0;
    struct Streams;
    std::shared_ptr<Streams> streams_; // the event streams open, and the stop signal
};

} // namespace dlnsim
