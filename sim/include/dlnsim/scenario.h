// Scenario files: the adapter, the devices on its buses and the faults to inject, in JSON.
//
//   {
//     "adapter": {"type": "DLN-4M" | "0x0401", "hardwareVersion": "0x01000000",
//                 "firmwareVersion": ..., "serverVersion": ..., "libraryVersion": ...,
//                 "i2cPorts": 1, "spiPorts": 1, "i2cFrequency": 100000, "spiFrequency": 1000000},
//     "i2c": [{"address": "0x50", "model": "register", ...model options}],
//     "spi": [{"ss": 0, "model": "...", ...model options}],
//     "faults": [{"call": "DlnI2cMasterRead", "code": "nack", "nth": 3, "address": "0x70"}],
//     "randomFaults": {"seed": 42, "rate": 0.05, "calls": ["DlnI2cMasterRead"],
//                      "kinds": ["nack", "fail", "flip"]}
//   }
//
// Every part is optional. Numbers may be JSON numbers or "0x.."/decimal strings.
#pragma once

#include "dlnsim/simulator.h"

#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace dlnsim {

// Names the file, the place in it ("i2c[2].address") and the problem.
class ScenarioError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// A builder set up as the scenario says; throws ScenarioError. source names the text in
// messages (usually its file name).
// notices, when given, receives lines worth telling the user (a random seed drawn).
SimBuilder LoadScenario(std::string_view text, const std::string &source,
                        std::vector<std::string> *notices = nullptr);
// Refuses files above kMaxScenarioBytes, and a "dump" path that is the scenario file itself.
SimBuilder LoadScenarioFile(const std::string &path, std::vector<std::string> *notices = nullptr);
constexpr size_t kMaxScenarioBytes = size_t{4} << 20;

// The robot scenario built into the simulator (sim/scenarios/robot.json).
std::string_view DefaultScenarioText();
constexpr const char *kDefaultScenarioName = "robot.json (built in)";

} // namespace dlnsim
