#include "external_devices.h"

#include <cstdio>

namespace dlnsim {

std::string PlaceName(ExternalPlace place) {
    char text[16];
    std::snprintf(text, sizeof text, place.spi ? "spi %u" : "i2c 0x%02x", place.where);
    return text;
}

void ExternalDevices::declare(ExternalPlace place, const std::string &name, uint32_t timeoutMs) {
    Device &device = devices_[place];
    device.name = name;
    device.timeoutMs = timeoutMs;
    device.declared = true;
    declaredTimeouts_[place] = timeoutMs;
}

const ExternalDevices::Device *ExternalDevices::find(ExternalPlace place) const {
    auto it = devices_.find(place);
    return it == devices_.end() ? nullptr : &it->second;
}

std::string ExternalDevices::claim(const std::string &name,
                                   const std::vector<ExternalPlace> &places, uint32_t timeoutMs,
                                   const std::shared_ptr<ExternalLink> &link,
                                   const BuiltIn &builtIn) {
    for (size_t i = 0; i < places.size(); ++i) {
        ExternalPlace place = places[i];
        std::string model = builtIn(place);
        if (!model.empty())
            return PlaceName(place) + " is the " + model + " of the scenario";
        for (size_t j = 0; j < i; ++j)
            if (places[j] == place)
                return PlaceName(place) + " is claimed twice";
        const Device *device = find(place);
        if (device == nullptr)
            continue;
        if (device->link)
            return PlaceName(place) + " is claimed by the provider \"" + device->name + "\"";
        if (device->name != name)
            return PlaceName(place) + " is declared for the provider \"" + device->name + "\"";
    }
    for (ExternalPlace place : places) {
        Device &device = devices_[place];
        device.name = name;
        auto declared = declaredTimeouts_.find(place);
        device.timeoutMs = declared == declaredTimeouts_.end() ? timeoutMs : declared->second;
        device.link = link;
        device.state = nlohmann::json::object();
    }
    return {};
}

void ExternalDevices::release(const ExternalLink *link) {
    for (auto it = devices_.begin(); it != devices_.end();) {
        if (it->second.link.get() != link) {
            ++it;
        } else if (it->second.declared) {
            it->second.link.reset();
            it->second.state = nlohmann::json::object();
            ++it;
        } else {
            it = devices_.erase(it);
        }
    }
}

void ExternalDevices::setState(const ExternalLink *link, const nlohmann::json &state) {
    for (auto &[place, device] : devices_)
        if (device.link.get() == link)
            device.state = state;
}

} // namespace dlnsim
