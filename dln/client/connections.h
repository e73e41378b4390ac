// The client's tables: connections counted per host:port, and adapter handles issued to the
// caller, each tied to the connection it was opened on. Thread-safe.
#pragma once

#include "dln_api.h"
#include "transport.h"

#include <chrono>
#include <memory>
#include <mutex>

namespace dln::client {

// One connection to a server. Its lock keeps each request/reply pair whole when several
// threads share it.
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

// Counts a connection to host:port, opening it on the first count or when the previous one
// was lost. The server sees a Connect call each time; a failure leaves the count unchanged.
DLN_RESULT Connect(const char *host, uint16_t port);
// Uncounts host:port, dropping the connection's handles at zero. The connection itself then
// closes at once, or lingers unused for its transport's linger time when it is still sound,
// for the next Connect to reuse; a background thread closes it when that time is up. The
// count is released even when the server reports a failure, so a caller can never leak it.
DLN_RESULT Disconnect(const char *host, uint16_t port);

// The oldest usable counted connection (the one DlnOpenDevice uses), or null.
std::shared_ptr<Connection> FirstUsableConnection();

// Records a server handle opened on connection and returns the caller's handle (never 0),
// or 0 when all 65535 handles are in use.
HDLN AddHandle(std::shared_ptr<Connection> connection, uint16_t serverHandle);
// Looks a caller's handle up. DLN_RES_INVALID_HANDLE for 0 or an unknown handle,
// DLN_RES_NOT_CONNECTED when its connection is closed or lost.
DLN_RESULT FindHandle(HDLN handle, std::shared_ptr<Connection> &connection, uint16_t &serverHandle);
void RemoveHandle(HDLN handle);

// Closes every connection, lingering ones included, and forgets every handle (the in-process
// backend when its simulator changes).
void DropAllConnections();

} // namespace dln::client
