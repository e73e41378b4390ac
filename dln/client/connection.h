// One connection to a server. Its lock keeps each request/reply pair whole when several
// threads share it.
#pragma once

#include "dln_api.h"
#include "transport.h"

#include <chrono>
#include <memory>
#include <mutex>

namespace dln::client {

class Connection {
  public:
    explicit Connection(std::unique_ptr<Transport> transport);
    // Exchanges one request for its reply. A transport failure, or a reply to another call,
    // leaves the connection lost; later exchanges fail with DLN_RES_NOT_CONNECTED.
    DLN_RESULT exchange(const wire::Request &request, wire::Reply &reply);
    bool usable();
    void close();
    // How long the connection may stay open unused once uncounted (its transport's linger).
    std::chrono::milliseconds linger() const { return linger_; }

  private:
    std::chrono::milliseconds linger_;
    std::mutex mutex_;
    std::unique_ptr<Transport> transport_; // null once closed or lost
};

} // namespace dln::client
