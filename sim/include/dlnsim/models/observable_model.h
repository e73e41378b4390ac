// What the live page and scenario timelines see of a device model: a snapshot of its state
// and the world it lets change while programs run, by setting name. Models implement it next
// to I2cDevice or SpiDevice; nothing outside a model reaches into its members.
#pragma once

#include <nlohmann/json.hpp>

#include <cstdint>
#include <string>

namespace dlnsim {

class ObservableModel {
  public:
    virtual ~ObservableModel() = default;
    // The scenario's model name ("servo-board").
    virtual std::string modelName() const = 0;
    // The state worth showing, as a JSON object. Called under the simulator's lock: quick.
    // Holds the current value of every setting under the setting's name.
    virtual nlohmann::json snapshot(uint64_t nowUs) const = 0;
    // The settings set() takes: a list of {"name", "min", "max", "unit"} (a range for a
    // slider; settings without "min" take JSON values such as lists).
    virtual nlohmann::json settings() const { return nlohmann::json::array(); }
    // Changes one setting; throws OptionError(name, problem) for an unknown name or a value
    // out of its range, leaving the model unchanged.
    virtual void set(const std::string &name, const nlohmann::json &value, uint64_t nowUs);
};

// A settings() entry for a number from min to max.
nlohmann::json NumberSetting(const char *name, double min, double max, const char *unit);

} // namespace dlnsim
