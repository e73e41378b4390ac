// A loopback on one slave-select line: MISO wired to MOSI, so every byte sent comes back in
// the same transfer. Lets a full-duplex transfer be checked end to end.
#pragma once

#include "dlnsim/device.h"
#include "dlnsim/models/observable_model.h"

#include <nlohmann/json.hpp>

#include <memory>

namespace dlnsim {

class SpiLoopback : public SpiDevice, public ObservableModel {
  public:
    void transfer(std::span<const uint8_t> out, std::span<uint8_t> in, uint64_t nowUs) override;
    std::string decodeTransfer(std::span<const uint8_t> out) const override;
    std::string modelName() const override { return "loopback"; }
    nlohmann::json snapshot(uint64_t nowUs) const override;
};

// The scenario's "loopback" model; it takes no options.
std::shared_ptr<SpiDevice> MakeSpiLoopback(const nlohmann::json &options);

} // namespace dlnsim
