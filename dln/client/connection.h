// One connection to a server. Its lock keeps each request/reply pair whole when several
// threads share it; a thread waits for it no longer than its own call's deadline.
#pragma once

#include "dln_api.h"
#include "transport.h"

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>

namespace dln::client {

class Connection {
  public:
    explicit Connection(std::unique_ptr<Transport> transport);
    // Exchanges one request for its reply by deadline. DLN_RES_TIMEOUT, the connection still
    // sound, when other threads' exchanges keep it until then. A transport failure, or a
    // reply to another call, leaves the connection lost; later exchanges fail with
    // DLN_RES_NOT_CONNECTED.
    DLN_RESULT exchange(const wire::Request &request, wire::Reply &reply,
                        Clock::time_point deadline);
    // Never waits, so the tables may ask while they hold their locks.
    bool usable() const { return usable_; }
    // Closes the transport, or, while an exchange is under way, lets that exchange close it
    // when it ends, so that closing never waits for the network.
    void close();
    // How long the connection may stay open unused once uncounted (its transport's linger).
    std::chrono::milliseconds linger() const { return linger_; }

  private:
    std::chrono::milliseconds linger_;
    std::timed_mutex mutex_;
    std::unique_ptr<Transport> transport_; // null once closed or lost
    std::atomic<bool> usable_{true};
};

} // namespace dln::client
