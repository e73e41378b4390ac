// The connections counted per host:port. A connection whose count drops to zero lingers
// unused for its transport's linger time, so that the next Connect reuses it; a background
// thread closes it when that time is up. Thread-safe.
#pragma once

#include "connection.h"
#include "dln_api.h"

#include <cstdint>
#include <memory>

namespace dln::client {

// Counts a connection to host:port, opening it on the first count or when the previous one
// was lost. The server sees a Connect call each time; a failure leaves the count unchanged.
DLN_RESULT Connect(const char *host, uint16_t port);
// Uncounts host:port, dropping the connection's handles at zero. The connection itself then
// closes at once, or lingers when it is still sound. The count is released even when the
// server reports a failure, so a caller can never leak it.
DLN_RESULT Disconnect(const char *host, uint16_t port);

// The oldest usable counted connection (the one DlnOpenDevice uses), or null.
std::shared_ptr<Connection> FirstUsableConnection();

// Closes every connection, lingering ones included, and forgets every handle (the in-process
// backend when its simulator changes).
void DropAllConnections();

} // namespace dln::client
