// The simulator as an onlooker sees it (the live page, dln-sim's ready line): what every
// device shows, the bus's last calls and the pending faults, taken in one step under the
// simulator's lock, and world changes made while programs run.
#pragma once

#include "dlnsim/simulator.h"

#include <nlohmann/json.hpp>

#include <cstdint>
#include <string>
#include <vector>

namespace dlnsim {

struct DeviceView {
    std::string bus;     // "i2c" or "spi"
    uint8_t address = 0; // I2C address or slave-select line
    std::string model;   // empty for a device that is no observable model
    nlohmann::json state = nlohmann::json::object();
    nlohmann::json settings = nlohmann::json::array();
};

struct Observation {
    uint64_t nowUs = 0;
    std::vector<DeviceView> devices;
    std::vector<TraceEntry> trace; // the last calls, oldest first
    std::vector<Fault> pendingFaults;
    size_t pendingFaultCount = 0; // all of them; pendingFaults may hold fewer
    uint64_t calls = 0;
    uint64_t faultsInjected = 0;
    size_t clients = 0;
    uint64_t unpluggedForUs = 0; // how much longer the adapter stays unplugged; 0: plugged in
    bool timeline = false;
    size_t timelinePending = 0;
    std::vector<std::string> timelineApplied; // "2.500 s: i2c 0x29 distanceMm = 300"
};

// Simulator::observe(traceLines, maxFaults) takes one; Simulator::changeWorld applies a
// world change ({"i2c": "0x29", "set": {...}}, {"fault": {...}}, {"clearFaults": true},
// {"unplug": {"forS": 2}}).

// A pending fault for a person: "DlnI2cMasterRead at 0x70: nack, at most 1 call".
std::string DescribeFault(const Fault &fault);

// The devices loaded: "i2c 0x29 vl53l0x, 0x30 motor-board; spi 0 eeprom".
std::string DescribeDevices(const Simulator &simulator);

} // namespace dlnsim
