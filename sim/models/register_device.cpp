#include "dlnsim/models/register_device.h"

#include "options.h"

#include <cstdio>

namespace dlnsim {

bool RegisterDevice::write(std::span<const uint8_t> data, uint64_t) {
    if (data.empty())
        return true; // an address-only write: acknowledged, nothing changes
    pointer_ = data[0];
    for (uint8_t byte : data.subspan(1))
        registers_[pointer_++] = byte; // uint8_t wraps 0xFF -> 0x00
    return true;
}

bool RegisterDevice::read(std::span<uint8_t> data, uint64_t) {
    for (uint8_t &byte : data)
        byte = registers_[pointer_++];
    return true;
}

std::string RegisterDevice::decodeWrite(std::span<const uint8_t> data) const {
    if (data.empty())
        return {};
    char text[8];
    std::snprintf(text, sizeof text, "0x%02x", data[0]);
    std::string note = (data.size() == 1 ? "pointer " : "reg ") + std::string(text);
    if (data.size() > 1) {
        note += " =";
        for (uint8_t byte : data.subspan(1)) {
            std::snprintf(text, sizeof text, " %02x", byte);
            note += text;
        }
    }
    return note;
}

std::shared_ptr<I2cDevice> MakeRegisterDevice(const nlohmann::json &options) {
    CheckKnownOptions(options, {"fill", "registers"});
    auto device = std::make_shared<RegisterDevice>();
    auto fill = static_cast<uint8_t>(UnsignedOption(options, "fill", 0xFF, 0));
    for (unsigned i = 0; i < 256; ++i)
        device->setReg(static_cast<uint8_t>(i), fill);
    auto registers = options.find("registers");
    if (registers != options.end()) {
        if (!registers->is_object())
            throw OptionError("registers", "is not an object of register index to value");
        for (auto &[index, value] : registers->items()) {
            std::string key = "registers." + index;
            auto at = UnsignedValue(nlohmann::json(index), 0xFF, key);
            device->setReg(static_cast<uint8_t>(at),
                           static_cast<uint8_t>(UnsignedValue(value, 0xFF, key)));
        }
    }
    return device;
}

nlohmann::json RegisterDevice::snapshot(uint64_t) const {
    return {{"registers", registers_}, {"pointer", pointer_}};
}

nlohmann::json RegisterDevice::settings() const {
    // A JSON object of register index to value, as in the scenario.
    return {{{"name", "registers"}}};
}

void RegisterDevice::set(const std::string &name, const nlohmann::json &value, uint64_t nowUs) {
    if (name != "registers")
        return ObservableModel::set(name, value, nowUs);
    if (!value.is_object())
        throw OptionError(name, "is not an object of register index to value");
    std::array<uint8_t, 256> registers = registers_; // all or nothing
    for (const auto &item : value.items())
        registers[UnsignedValue(item.key(), 0xFF, name + "." + item.key())] =
            static_cast<uint8_t>(UnsignedValue(item.value(), 0xFF, name + "." + item.key()));
    registers_ = registers;
}

} // namespace dlnsim
