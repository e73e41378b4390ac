// Which requests the live page answers: those naming it by the address it serves (a page of
// another site that made its own name resolve to 127.0.0.1 names that name, not ours), and
// coming from no other origin than the page's own. Together with the page refusing to be
// framed, other sites can neither read the state nor change the world.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace dlnsim {

class RequestGuard {
  public:
    // bindAddress: the address the page listens on. Loopback names (127.0.0.1, localhost,
    // [::1]) are always allowed; the bind address too; on a wildcard bind (0.0.0.0, ::) any
    // IP address, which no other site can take over by its name.
    RequestGuard(std::string bindAddress, uint16_t port);
    // Why a request with these headers is refused; nothing when it is answered.
    std::optional<std::string> refusal(const std::string &host,
                                       const std::optional<std::string> &origin) const;

  private:
    bool allowedHost(const std::string &host) const;

    std::string bind_;
    uint16_t port_;
};

} // namespace dlnsim
