#include "vl53l0x_configuration.h"

#include "vl53l0x_nvm.h"
#include "vl53l0x_timing.h"

#include <nlohmann/json.hpp>

namespace dlnsim {

void AddVl53l0xConfiguration(Vl53l0x &sensor, const nlohmann::json &options) {
    const Vl53l0xNvmContents nvm = Vl53l0xNvmFromOptions(options);
    AddVl53l0xTiming(sensor);
    AddVl53l0xLimitChecks(sensor);
    AddVl53l0xNvm(sensor, nvm);
}

} // namespace dlnsim
