// A scenario's adapter latency in JSON: a preset's name, or an object that starts from a preset
// (by default none) and sets what it names, times in milliseconds:
//
//   "latency": "robot"
//   "latency": {"preset": "robot", "usb": {"medianMs": 1.2, "p95Ms": 1.9}, "busTime": false,
//               "server": {"medianMs": 0.1}, "calls": {"DlnI2cMasterRead": {"medianMs": 2}}}
#pragma once

#include "dlnsim/latency.h"

#include <nlohmann/json.hpp>

namespace dlnsim {

// Throws OptionError naming the key below "latency" ("usb.p95Ms") and the problem.
LatencyModel LatencyFromJson(const nlohmann::json &value);

} // namespace dlnsim
