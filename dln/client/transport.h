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

using Clock = std::chrono::steady_clock;

// Every call of the C interface ends within this time from its start, whatever the server
// does: a simulated call answers at once, a real adapter within milliseconds.
constexpr std::chrono::milliseconds kCallTime{2000};

class Transport {
  public:
    virtual ~Transport() = default;
    // Sends request and waits for its reply until deadline. DLN_RES_SUCCESS when a
    // well-formed reply to this request came back; otherwise a failure code
    // (DLN_RES_TIMEOUT, DLN_RES_NOT_CONNECTED, DLN_RES_PROTOCOL_ERROR), after which the
    // transport is unusable.
    virtual DLN_RESULT exchange(const wire::Request &request, wire::Reply &reply,
                                Clock::time_point deadline) = 0;
    // How long the connection stays open, unused, after its count drops to zero, so that
    // the next connect reuses it instead of opening a new one. 0: close at once.
    virtual std::chrono::milliseconds linger() const { return std::chrono::milliseconds(0); }
};

// Opens a transport to the server at host:port by deadline. Defined by the backend (TCP or
// in-process). On failure returns a failure code (DLN_RES_CONNECTION_FAILED,
// DLN_RES_INVALID_ARGUMENT) and leaves transport empty.
DLN_RESULT OpenTransport(const std::string &host, uint16_t port, Clock::time_point deadline,
                         std::unique_ptr<Transport> &transport);

} // namespace dln::client
