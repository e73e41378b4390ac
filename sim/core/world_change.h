// One change to the simulated world while programs run, as a scenario timeline event or the
// live page's API gives it:
//   {"i2c": "0x29", "set": {"distanceMm": 300}}       settings of the device at an address
//   {"spi": 1, "set": {...}}                          or on a slave-select line
//   {"fault": {"call": "DlnI2cMasterRead", "address": "0x70", "code": "nack", "count": 1}}
//   {"clearFaults": true}                             drop every pending named fault
//   {"unplug": {"forS": 2}}                           the adapter unplugged for a time
// A numeric setting may be {"csv": "file"} (csv_series.h): a laser path of its rows, or for
// any other setting its values, each at its time after the change.
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
    uint64_t unplugForUs = 0;  // 0: no unplugging
    // Values of a setting from a CSV series, each set afterUs after the change.
    struct Later {
        uint64_t afterUs = 0;
        std::string name;
        nlohmann::json value;
    };
    std::vector<Later> series;
};

struct TimedChange {
    uint64_t atUs = 0;
    WorldChange change;
};

// What a change acts on besides its device: the pending faults, and the adapter's plug.
struct WorldParts {
    FaultPlan &faults;
    // Unplugs the adapter now for forUs microseconds.
    std::function<void(uint64_t forUs)> unplug;
    // Makes these changes at their times.
    std::function<void(std::vector<TimedChange> changes)> schedule;
};

// The device a change names: by bus ("i2c" or "spi") and address or line; null when none.
using DeviceLookup = std::function<std::shared_ptr<ObservableModel>(bool spi, uint8_t where)>;

// Reads a change and checks it: the device exists, each setting is one of its own with a
// value it takes (tried on a fresh model of the same kind, so the device is untouched).
// extraKeys are allowed besides the change's own ("at" in a timeline); CSV files are found
// relative to csvDirectory (empty: the working directory). Throws OptionError naming the key.
WorldChange WorldChangeFromJson(const nlohmann::json &object, const DeviceLookup &lookup,
                                std::initializer_list<const char *> extraKeys = {},
                                const std::string &csvDirectory = "");

// Applies change at nowUs; runs under the simulator's lock. A CSV series counts its times from
// dueUs, when the change was due (a timeline event applied at the first call after its time).
// Returns a line for the trace ("timeline: i2c 0x29 distanceMm = 300").
std::string ApplyWorldChange(const WorldChange &change, WorldParts &parts, uint64_t nowUs,
                             uint64_t dueUs);

} // namespace dlnsim
