// Where the TCP transport connects. The library always asks for the DLN server's fixed port;
// the environment variable DLN_SERVER points our dln at another server instead, so that test
// runs on one machine can each talk to a simulator of their own.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace dln::tcp {

struct ServerAddress {
    std::string host;
    uint16_t port = 0;
};

// The address to connect to when the caller asked for host:port. DLN_SERVER, when set and not
// empty, replaces it: "host:port", "[v6-address]:port", or "port" alone (the requested host
// kept). Read at every new connection. nullopt when DLN_SERVER is malformed; the first such
// value in the process is named in one line on standard error.
std::optional<ServerAddress> ResolveServerAddress(const std::string &host, uint16_t port);

} // namespace dln::tcp
