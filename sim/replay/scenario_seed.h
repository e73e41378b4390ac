// A scenario seeded from a recording: the adapter as it described itself and the time its
// calls took (latency_seed.h), and each I2C device of port 0 as a register device ("the first
// byte written sets the pointer") holding the values that were read from it, where its
// answers allow that model. What cannot be modelled is said in notes, one line each.
#pragma once

#include "call_record.h"

#include <nlohmann/json.hpp>

#include <string>
#include <vector>

namespace dlnsim::replay {

struct SeededScenario {
    nlohmann::json scenario;        // in the scenario format of dln-sim
    std::vector<std::string> notes; // what it left out, and why
};

// recordingName goes into the scenario's comment.
SeededScenario SeedScenario(const std::vector<dln::record::CallRecord> &recording,
                            const std::string &recordingName);

} // namespace dlnsim::replay
