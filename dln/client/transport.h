// How the client reaches a server: one request out, one reply back, in bounded time.
// libdln provides a TCP transport, dln_inproc one that calls a simulator in this process.
#pragma once

#include "dln_api.h"
#include "wire.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

namespace dln::client {

class Transport {
  public:
    virtual ~Transport() = default;
    // Sends request and waits for its reply. DLN_RES_SUCCESS when a well-formed reply came
    // back; otherwise a failure code (DLN_RES_TIMEOUT, DLN_RES_NOT_CONNECTED,
    // DLN_RES_PROTOCOL_ERROR), after which the transport is unusable.
    virtual DLN_RESULT exchange(const wire::Request &request, wire::Reply &reply) = 0;
    // How long the connection stays open, unused, after its count drops to zero, so that
    // the next connect reuses it instead of opening a new one. 0: close at once.
    virtual std::chrono::milliseconds linger() const { return std::chrono::milliseconds(0); }
};

// Opens a transport to the server at host:port. Defined by the backend (TCP or in-process).
// On failure returns a failure code (DLN_RES_CONNECTION_FAILED, DLN_RES_INVALID_ARGUMENT)
// and leaves transport empty.
DLN_RESULT OpenTransport(const std::string &host, uint16_t port,
                         std::unique_ptr<Transport> &transport);

} // namespace dln::client
