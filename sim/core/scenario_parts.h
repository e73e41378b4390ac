// The pieces of a scenario file, each read by its own file: the JSON text (with keys given
// twice refused), the adapter, the devices on each bus, the named and random faults. Errors
// name the file and the place ("robot.json: i2c[1].address: ...").
#pragma once

#include "dlnsim/simulator.h"
#include "world_change.h"

#include <nlohmann/json.hpp>

#include <initializer_list>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace dlnsim::scenario {

// Error reporting with the source and a place prefix.
class Context {
  public:
    explicit Context(std::string source) : source_(std::move(source)) {}
    [[noreturn]] void fail(const std::string &place, const std::string &problem) const;
    // Runs body, turning an OptionError into a ScenarioError at place.key.
    template <class Body> auto at(const std::string &place, Body &&body) const {
        try {
            return body();
        } catch (...) {
            rethrowAt(place);
        }
    }

  private:
    [[noreturn]] void rethrowAt(const std::string &place) const;
    std::string source_;
};

void CheckKeys(const Context &context, const std::string &place, const nlohmann::json &object,
               std::initializer_list<const char *> known);
const nlohmann::json &ObjectAt(const Context &context, const std::string &place,
                               const nlohmann::json &value);
const nlohmann::json &ListAt(const Context &context, const std::string &place,
                             const nlohmann::json &value);

// The document; a key given twice in one object is an error naming its place.
nlohmann::json Parse(const Context &context, std::string_view text);

AdapterConfig LoadAdapter(const Context &context, const nlohmann::json &adapter);

// The devices loaded, for the timeline to name.
struct Devices {
    std::map<uint8_t, std::shared_ptr<ObservableModel>> i2c, spi;
};
// csvDirectory: where a laser path's CSV file ({"csv": "wall.csv"}) is found.
void LoadI2c(const Context &context, const nlohmann::json &list, SimBuilder &builder,
             Devices &devices, const std::string &csvDirectory);
// scenarioPath: the scenario's own file (empty for a text), which no "dump" may name.
void LoadSpi(const Context &context, const nlohmann::json &list, SimBuilder &builder,
             const std::string &scenarioPath, Devices &devices);

void LoadFaults(const Context &context, const nlohmann::json &list, SimBuilder &builder);
void LoadRandomFaults(const Context &context, const nlohmann::json &object, SimBuilder &builder,
                      std::vector<std::string> *notices);

} // namespace dlnsim::scenario
