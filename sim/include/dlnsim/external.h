// External devices: I2C addresses or SPI lines whose transfers another process answers (a
// device provider, see docs/device-providers.md). The simulator hands each transfer to the
// device's link and finishes the call when the link answers, never waiting for it itself.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace dlnsim {

// Where an external device sits: an I2C address, or an SPI slave-select line.
struct ExternalPlace {
    bool spi = false;
    uint8_t where = 0;
    auto operator<=>(const ExternalPlace &) const = default;
};

// One transfer for a provider: "write" bytes, "read" count bytes (I2C), or "transfer" bytes
// in and as many out (SPI).
struct ExternalRequest {
    std::string op;
    ExternalPlace place;
    std::vector<uint8_t> bytes;
    uint16_t count = 0;
};

// The provider's answer: result 0 and the bytes, or a failure code; note names what went
// wrong for the trace (a time-out, a malformed answer) and is empty for a proper answer.
struct ExternalAnswer {
    uint16_t result = 0;
    std::vector<uint8_t> bytes;
    std::string note;
};

// A provider's connection as the simulator sees it.
class ExternalLink {
  public:
    virtual ~ExternalLink() = default;
    // Hands request to the provider and returns at once; done runs exactly once, on another
    // thread or before ask returns, with the answer or a failure within timeoutMs.
    virtual void ask(const ExternalRequest &request, uint32_t timeoutMs,
                     std::function<void(ExternalAnswer)> done) = 0;
};

constexpr uint32_t kDefaultExternalTimeoutMs = 100;
constexpr uint32_t kMaxExternalTimeoutMs = 10000;

} // namespace dlnsim
