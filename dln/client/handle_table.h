// The adapter handles issued to the caller, each tied to the connection it was opened on and
// to the server's own handle. Thread-safe.
#pragma once

#include "connection.h"
#include "dln_api.h"

#include <cstdint>
#include <memory>

namespace dln::client {

// Records a server handle opened on connection and returns the caller's handle (never 0),
// or 0 when all 65535 handles are in use.
HDLN AddHandle(std::shared_ptr<Connection> connection, uint16_t serverHandle);
// Looks a caller's handle up. DLN_RES_INVALID_HANDLE for 0 or an unknown handle,
// DLN_RES_NOT_CONNECTED when its connection is closed or lost.
DLN_RESULT FindHandle(HDLN handle, std::shared_ptr<Connection> &connection, uint16_t &serverHandle);
void RemoveHandle(HDLN handle);
// Forgets every handle opened on connection (its count dropped to zero, or it was replaced).
void RemoveHandlesOf(const std::shared_ptr<Connection> &connection);
void RemoveAllHandles();

} // namespace dln::client
