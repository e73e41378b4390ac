// The ranging sensor's world as a scenario file describes it.
#pragma once

#include "dlnsim/models/vl53l0x_world.h"

#include <nlohmann/json.hpp>

namespace dlnsim {

// Reads the optional keys of a scenario's "world" object over the defaults of RangingWorld:
//   "distanceMm": a fixed target distance, or
//   "path": [{"timeMs": t, "distanceMm": d}, ...] a target moving linearly between waypoints
//           (times from the start of the simulator, not decreasing),
//   "reflectance", "signalAt1mMcps", "ambientMcps", "minSignalMcps", "noiseMm", "noiseSeed",
//   "effectiveSpads", "measurementTimeUs", "calibrationTimeUs", "vhvSetting", "phaseCal",
//   "nonApertureSpadRate", "apertureSpadRate".
// Throws OptionError naming the key for an unknown key, a value of the wrong type or out of
// range.
RangingWorld RangingWorldFromJson(const nlohmann::json &world);
// A "path" list alone, its times shifted by startUs (the live page's paths start now).
std::vector<RangingWorld::Waypoint> RangingPathFromJson(const nlohmann::json &path,
                                                        uint64_t startUs = 0);

} // namespace dlnsim
