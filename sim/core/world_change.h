// One change to the simulated world while programs run, as a scenario timeline event or the
// live page's API gives it:
//   {"i2c": "0x29", "set": {"distanceMm": 300}}       settings of the device at an address
//   {"spi": 1, "set": {...}}                          or on a slave-select line
//   {"fault": {"call": "DlnI2cMasterRead", "address": "0x70", "code": "nack", "count": 1}}
//   {"clearFaults": true}                             drop every pending named fault
#pragma once

#include "dlnsim/models/observable_model.h"
#include "dlnsim/simulator.h"
#include "fault_plan.h"

#include <nlohmann/json.hpp>

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace dlnsim {

struct WorldChange {
    std::shared_ptr<ObservableModel> device; // null for a fault change
    std::string deviceName;                  // "i2c 0x29", for the trace
    std::vector<std::pair<std::string, nlohmann::json>> settings;
    std::vector<Fault> faults; // added
    bool clearFaults = false;  // before adding
};

// The device a change names: by bus ("i2c" or "spi") and address or line; null when none.
using DeviceLookup = std::function<std::shared_ptr<ObservableModel>(bool spi, uint8_t where)>;

// Reads a change and checks it: the device exists, each setting is one of its own with a
// value it takes (tried on a fresh model of the same kind, so the device is untouched).
// extraKeys are allowed besides the change's own ("at" in a timeline). Throws OptionError
// naming the key.
WorldChange WorldChangeFromJson(const nlohmann::json &object, const DeviceLookup &lookup,
                                std::initializer_list<const char *> extraKeys = {});

// Applies change at nowUs; runs under the simulator's lock. Returns a line for the trace
// ("timeline: i2c 0x29 distanceMm = 300").
std::string ApplyWorldChange(const WorldChange &change, FaultPlan &faults, uint64_t nowUs);

} // namespace dlnsim
