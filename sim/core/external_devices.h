// The external devices of a simulator: declared by the scenario or claimed by providers,
// each with the link of the provider that serves it (none until one claims it). Not locked:
// the simulator's lock guards it.
#pragma once

#include "dlnsim/external.h"

#include <nlohmann/json.hpp>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace dlnsim {

class ExternalDevices {
  public:
    struct Device {
        std::string name;
        uint32_t timeoutMs = kDefaultExternalTimeoutMs;
        bool declared = false;              // by the scenario: it stays when its provider leaves
        std::shared_ptr<ExternalLink> link; // null: no provider
        nlohmann::json state = nlohmann::json::object();
    };
    // What built-in model is at a place ("adc-dac-board"); empty where there is none.
    using BuiltIn = std::function<std::string(ExternalPlace)>;

    // A device the scenario puts at place before its provider connects.
    void declare(ExternalPlace place, const std::string &name, uint32_t timeoutMs);
    const Device *find(ExternalPlace place) const; // null if none
    // Claims places for link under name, all or none; returns why they were refused, or
    // an empty text when granted. timeoutMs applies where the scenario set none.
    std::string claim(const std::string &name, const std::vector<ExternalPlace> &places,
                      uint32_t timeoutMs, const std::shared_ptr<ExternalLink> &link,
                      const BuiltIn &builtIn);
    // Ends link's claims: its claimed devices leave the bus, declared ones wait again.
    void release(const ExternalLink *link);
    // What link's provider says of its devices' state.
    void setState(const ExternalLink *link, const nlohmann::json &state);
    const std::map<ExternalPlace, Device> &all() const { return devices_; }

  private:
    std::map<ExternalPlace, Device> devices_;
    std::map<ExternalPlace, uint32_t> declaredTimeouts_;
};

// A call on its way to an external device's provider: its steps (a read with a memory
// address writes the address first, as a repeated start would), and whom to ask.
struct ExternalTransfer {
    std::vector<ExternalRequest> steps;
    std::shared_ptr<ExternalLink> link;
    uint32_t timeoutMs = kDefaultExternalTimeoutMs;
    std::string name;
};

// "i2c 0x49" or "spi 2".
std::string PlaceName(ExternalPlace place);

} // namespace dlnsim
