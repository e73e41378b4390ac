#include "world_change.h"

#include "dlnsim/models/registry.h"
#include "fault_json.h"
#include "options.h"

#include <cstdio>
#include <memory>

namespace dlnsim {

namespace {

// Checks name and value against a fresh model of device's kind, built from no options.
void TrySetting(const ObservableModel &device, bool spi, const std::string &name,
                const nlohmann::json &value) {
    const nlohmann::json none = nlohmann::json::object();
    std::shared_ptr<ObservableModel> fresh =
        spi ? std::dynamic_pointer_cast<ObservableModel>(MakeSpiModel(device.modelName(), none))
            : std::dynamic_pointer_cast<ObservableModel>(MakeI2cModel(device.modelName(), none));
    if (!fresh)
        throw OptionError(name, device.modelName() + " has no settings");
    fresh->set(name, value, 0);
}

std::string Where(bool spi, uint8_t where) {
    char text[16];
    std::snprintf(text, sizeof text, spi ? "spi %u" : "i2c 0x%02x", where);
    return text;
}

} // namespace

WorldChange WorldChangeFromJson(const nlohmann::json &object, const DeviceLookup &lookup,
                                std::initializer_list<const char *> extraKeys) {
    if (!object.is_object())
        throw OptionError("", "expected an object, found " + std::string(object.type_name()));
    for (const auto &item : object.items()) {
        const std::string &key = item.key();
        bool known = key == "i2c" || key == "spi" || key == "set" || key == "fault" ||
                     key == "clearFaults" || key == "comment";
        for (const char *extra : extraKeys)
            known = known || key == extra;
        if (!known)
            throw OptionError(key, "unknown key");
    }
    WorldChange change;
    const bool i2c = object.contains("i2c"), spi = object.contains("spi");
    if (i2c && spi)
        throw OptionError("spi", "a change names one device: \"i2c\" or \"spi\", not both");
    if ((i2c || spi) != object.contains("set"))
        throw OptionError(i2c || spi ? "set" : "",
                          i2c || spi ? "missing: the settings to change"
                                     : "\"set\" needs a device (\"i2c\": address or \"spi\": ss)");
    if (i2c || spi) {
        const char *bus = spi ? "spi" : "i2c";
        auto where = static_cast<uint8_t>(UnsignedValue(object.at(bus), spi ? 3 : 0x7F, bus));
        change.device = lookup(spi, where);
        change.deviceName = Where(spi, where);
        if (!change.device)
            throw OptionError(bus, "no device at " + change.deviceName);
        const nlohmann::json &settings = object.at("set");
        if (!settings.is_object() || settings.empty())
            throw OptionError("set", "is not an object of setting names to values");
        for (const auto &item : settings.items()) {
            try {
                TrySetting(*change.device, spi, item.key(), item.value());
            } catch (const OptionError &e) {
                throw OptionError("set." + e.key, e.what());
            }
            change.settings.emplace_back(item.key(), item.value());
        }
    }
    if (object.contains("clearFaults")) {
        if (!object.at("clearFaults").is_boolean())
            throw OptionError("clearFaults", "is not true or false");
        change.clearFaults = object.at("clearFaults").get<bool>();
    }
    if (object.contains("fault")) {
        try {
            change.faults.push_back(FaultFromJson(object.at("fault")));
        } catch (const OptionError &e) {
            throw OptionError(e.key.empty() ? "fault" : "fault." + e.key, e.what());
        }
    }
    if (!change.device && change.faults.empty() && !change.clearFaults)
        throw OptionError("", "changes nothing: give \"i2c\" or \"spi\" with \"set\", "
                              "\"fault\" or \"clearFaults\"");
    return change;
}

std::string ApplyWorldChange(const WorldChange &change, FaultPlan &faults, uint64_t nowUs) {
    std::string line;
    auto add = [&line](const std::string &part) { line += (line.empty() ? "" : "; ") + part; };
    if (change.clearFaults) {
        faults.clear();
        add("faults cleared");
    }
    for (const Fault &fault : change.faults) {
        faults.add(fault);
        add("fault " + FaultToJson(fault).dump());
    }
    for (const auto &[name, value] : change.settings) {
        try {
            change.device->set(name, value, nowUs);
            add(change.deviceName + " " + name + " = " + value.dump());
        } catch (const std::exception &e) {
            // Checked when the change was read; a path can still fail against a later time.
            add(change.deviceName + " " + name + ": " + e.what());
        }
    }
    return line;
}

} // namespace dlnsim
