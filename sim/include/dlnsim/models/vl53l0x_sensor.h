// The complete simulated ranging sensor: the register core with its timing and limit-check
// registers, its non-volatile memory and its measurements, as a scenario describes it.
#pragma once

#include "dlnsim/models/vl53l0x.h"
#include "dlnsim/models/vl53l0x_world.h"

#include <nlohmann/json_fwd.hpp>

#include <memory>

namespace dlnsim {

struct RangingSensor {
    std::shared_ptr<Vl53l0x> device;
    std::shared_ptr<RangingWorld> world; // shared with the measurement hooks
};

// options is the scenario's device entry (or an empty object): the non-volatile memory keys
// of Vl53l0xNvmFromOptions and a "world" object as RangingWorldFromJson reads it. Throws on an
// unknown key or a malformed value, naming its place ("world.path[1].timeMs").
RangingSensor MakeRangingSensor(const nlohmann::json &options);

} // namespace dlnsim
