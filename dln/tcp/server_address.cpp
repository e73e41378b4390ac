#include "server_address.h"

#include <atomic>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <string_view>

namespace dln::tcp {

namespace {

constexpr const char *kVariable = "DLN_SERVER";

std::optional<uint16_t> ParsePort(std::string_view text) {
    unsigned value = 0;
    const char *end = text.data() + text.size();
    auto [stop, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc() || stop != end || value == 0 || value > 65535)
        return std::nullopt;
    return static_cast<uint16_t>(value);
}

std::optional<ServerAddress> Parse(std::string_view text, const std::string &requestedHost) {
    size_t colon = text.rfind(':');
    if (colon == std::string_view::npos) {
        std::optional<uint16_t> port = ParsePort(text);
        if (!port)
            return std::nullopt;
        return ServerAddress{requestedHost, *port};
    }
    std::string_view host = text.substr(0, colon);
    if (host.size() >= 2 && host.front() == '[' && host.back() == ']')
        host = host.substr(1, host.size() - 2);
    // An unbracketed IPv6 address would be split at its last group.
    else if (host.find(':') != std::string_view::npos)
        return std::nullopt;
    std::optional<uint16_t> port = ParsePort(text.substr(colon + 1));
    if (host.empty() || !port)
        return std::nullopt;
    return ServerAddress{std::string(host), *port};
}

} // namespace

std::optional<ServerAddress> ResolveServerAddress(const std::string &host, uint16_t port) {
    const char *value = std::getenv(kVariable);
    if (value == nullptr || value[0] == '\0')
        return ServerAddress{host, port};
    std::optional<ServerAddress> address = Parse(value, host);
    static std::atomic<bool> told{false};
    if (!address && !told.exchange(true)) {
        // Falling back to the fixed port could reach another run's simulator, so the
        // connection fails instead; one line is enough to find the cause.
        std::fprintf(stderr,
                     "dln: %s=\"%s\" is not \"host:port\" or \"port\" (1..65535); "
                     "no connection is made\n",
                     kVariable, value);
        std::fflush(stderr);
    }
    return address;
}

} // namespace dln::tcp
