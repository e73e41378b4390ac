// The VL53L0X's configuration registers and non-volatile memory in one step, for whoever
// builds the sensor from a scenario: the timing and limit-check registers with their power-on
// values, and the NVM with the SPAD information of the model's options (vl53l0x_nvm.h).
#pragma once

#include "vl53l0x.h"

#include <nlohmann/json_fwd.hpp>

namespace dlnsim {

// Throws std::invalid_argument naming the option when one is out of range.
void AddVl53l0xConfiguration(Vl53l0x &sensor, const nlohmann::json &options);

} // namespace dlnsim
