#include "world_change.h"

#include "csv_series.h"
#include "dlnsim/models/registry.h"
#include "fault_json.h"
#include "options.h"

#include <cmath>
#include <cstdio>
#include <memory>
#include <set>

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
    // The model takes what it can represent; the range it advertises is what the world
    // allows (a wall 5 m away is beyond what the laser sees). The value as the model read it
    // ("0x10" as 16) is the one checked.
    for (const nlohmann::json &setting : device.settings()) {
        if (setting.value("name", "") != name || !setting.contains("min"))
            continue;
        nlohmann::json taken = fresh->snapshot(0).value(name, nlohmann::json());
        if (!taken.is_number())
            break;
        double number = taken.get<double>();
        double min = setting["min"].get<double>(), max = setting["max"].get<double>();
        if (number < min || number > max) {
            char range[96];
            std::snprintf(range, sizeof range, " is outside %g..%g", min, max);
            throw OptionError(name, value.dump() + range);
        }
    }
}

std::string Where(bool spi, uint8_t where) {
    char text[16];
    std::snprintf(text, sizeof text, spi ? "spi %u" : "i2c 0x%02x", where);
    return text;
}

// A setting from a CSV file: a laser path of its rows, or each value at its time.
void AddSeries(WorldChange &change, bool spi, const std::string &name, const nlohmann::json &value,
               const std::string &directory) {
    std::vector<SeriesPoint> points;
    try {
        points = ReadCsvSeries(value, directory);
    } catch (const OptionError &e) {
        throw OptionError(name + "." + e.key, e.what());
    }
    if (name == "path") {
        nlohmann::json path = PathOfSeries(points);
        TrySetting(*change.device, spi, name, path);
        change.settings.emplace_back(name, std::move(path));
        return;
    }
    std::set<double> checked;
    for (const SeriesPoint &point : points) {
        // Whole numbers as integers, for settings that take no fractions.
        nlohmann::json number = point.value;
        if (std::floor(point.value) == point.value && std::fabs(point.value) < 1e15)
            number = static_cast<int64_t>(point.value);
        if (checked.insert(point.value).second)
            TrySetting(*change.device, spi, name, number);
        change.series.push_back({static_cast<uint64_t>(point.timeS * 1e6), name, number});
    }
}

// {"forS": seconds}: more than nothing, at most a day.
uint64_t UnplugTime(const nlohmann::json &unplug) {
    if (!unplug.is_object() || !unplug.contains("forS"))
        throw OptionError("unplug", "needs {\"forS\": seconds}");
    try {
        CheckKnownOptions(unplug, {"forS"});
        double seconds = NumberOption(unplug, "forS", 0);
        if (!(seconds > 0 && seconds <= 86400))
            throw OptionError("forS",
                              unplug.at("forS").dump() + " is not above 0 and at most 86400");
        return static_cast<uint64_t>(seconds * 1e6);
    } catch (const OptionError &e) {
        throw OptionError("unplug." + e.key, e.what());
    }
}

} // namespace

WorldChange WorldChangeFromJson(const nlohmann::json &object, const DeviceLookup &lookup,
                                std::initializer_list<const char *> extraKeys,
                                const std::string &csvDirectory) {
    if (!object.is_object())
        throw OptionError("", "expected an object, found " + std::string(object.type_name()));
    for (const auto &item : object.items()) {
        const std::string &key = item.key();
        bool known = key == "i2c" || key == "spi" || key == "set" || key == "fault" ||
                     key == "clearFaults" || key == "unplug" || key == "comment";
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
                if (IsCsvSeries(item.value())) {
                    AddSeries(change, spi, item.key(), item.value(), csvDirectory);
                    continue;
                }
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
    if (object.contains("unplug"))
        change.unplugForUs = UnplugTime(object.at("unplug"));
    if (!change.device && change.faults.empty() && !change.clearFaults && change.unplugForUs == 0)
        throw OptionError("", "changes nothing: give \"i2c\" or \"spi\" with \"set\", "
                              "\"fault\", \"clearFaults\" or \"unplug\"");
    return change;
}

std::string ApplyWorldChange(const WorldChange &change, WorldParts &parts, uint64_t nowUs,
                             uint64_t dueUs) {
    FaultPlan &faults = parts.faults;
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
    if (!change.series.empty()) {
        std::vector<TimedChange> later;
        for (const WorldChange::Later &value : change.series) {
            WorldChange one;
            one.device = change.device;
            one.deviceName = change.deviceName;
            one.settings.emplace_back(value.name, value.value);
            later.push_back({dueUs + value.afterUs, std::move(one)});
        }
        parts.schedule(std::move(later));
        char text[96];
        std::snprintf(text, sizeof text, " from a series of %zu values over %.3f s",
                      change.series.size(),
                      static_cast<double>(change.series.back().afterUs) / 1e6);
        add(change.deviceName + " " + change.series.front().name + text);
    }
    if (change.unplugForUs != 0) {
        parts.unplug(change.unplugForUs);
        char text[64];
        std::snprintf(text, sizeof text, "adapter unplugged for %.3f s",
                      static_cast<double>(change.unplugForUs) / 1e6);
        add(text);
    }
    return line;
}

} // namespace dlnsim
