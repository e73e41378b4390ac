#include "request_guard.h"

#include <arpa/inet.h>

#include <algorithm>
#include <cctype>

namespace dlnsim {

namespace {

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

bool IsIpAddress(const std::string &name) {
    unsigned char bytes[16];
    return inet_pton(AF_INET, name.c_str(), bytes) == 1 ||
           inet_pton(AF_INET6, name.c_str(), bytes) == 1;
}

// "[::1]:8080" -> ("::1", "8080"); "localhost" -> ("localhost", "").
std::pair<std::string, std::string> SplitHost(const std::string &host) {
    if (!host.empty() && host[0] == '[') {
        size_t end = host.find(']');
        if (end == std::string::npos)
            return {"", ""};
        std::string rest = host.substr(end + 1);
        return {host.substr(1, end - 1), rest.empty() || rest[0] != ':' ? rest : rest.substr(1)};
    }
    size_t colon = host.rfind(':');
    if (colon == std::string::npos)
        return {host, ""};
    return {host.substr(0, colon), host.substr(colon + 1)};
}

} // namespace

RequestGuard::RequestGuard(std::string bindAddress, uint16_t port)
    : bind_(Lower(std::move(bindAddress))), port_(port) {}

bool RequestGuard::allowedHost(const std::string &host) const {
    auto [name, port] = SplitHost(Lower(host));
    // A browser leaves the port out where it is the scheme's own.
    if (port != std::to_string(port_) && !(port.empty() && port_ == 80))
        return false;
    if (name == "127.0.0.1" || name == "localhost" || name == "::1" || name == bind_)
        return true;
    return (bind_ == "0.0.0.0" || bind_ == "::") && IsIpAddress(name);
}

std::optional<std::string> RequestGuard::refusal(const std::string &host,
                                                 const std::optional<std::string> &origin) const {
    if (!allowedHost(host))
        return "Host \"" + host + "\" is not this page's address";
    if (origin && Lower(*origin) != "http://" + Lower(host))
        return "requests from " + *origin + " are refused";
    return std::nullopt;
}

} // namespace dlnsim
