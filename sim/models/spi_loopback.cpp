#include "dlnsim/models/spi_loopback.h"

#include "options.h"

#include <algorithm>

namespace dlnsim {

void SpiLoopback::transfer(std::span<const uint8_t> out, std::span<uint8_t> in, uint64_t) {
    std::copy_n(out.begin(), std::min(out.size(), in.size()), in.begin());
}

std::string SpiLoopback::decodeTransfer(std::span<const uint8_t> out) const {
    return "loopback, " + std::to_string(out.size()) + " bytes";
}

std::shared_ptr<SpiDevice> MakeSpiLoopback(const nlohmann::json &options) {
    CheckKnownOptions(options, {});
    return std::make_shared<SpiLoopback>();
}

nlohmann::json SpiLoopback::snapshot(uint64_t) const {
    return nlohmann::json::object();
}

} // namespace dlnsim
