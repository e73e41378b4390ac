#include "vl53l0x_sensor.h"

#include "vl53l0x_measurement.h"
#include "vl53l0x_nvm.h"
#include "vl53l0x_timing.h"
#include "vl53l0x_world_json.h"

#include <nlohmann/json.hpp>

namespace dlnsim {

RangingSensor MakeRangingSensor(const nlohmann::json &options) {
    const nlohmann::json none = nlohmann::json::object();
    const nlohmann::json &config = options.is_object() ? options : none;
    RangingSensor sensor;
    sensor.device = std::make_shared<Vl53l0x>();
    AddVl53l0xTiming(*sensor.device);
    AddVl53l0xLimitChecks(*sensor.device);
    AddVl53l0xNvm(*sensor.device, Vl53l0xNvmFromOptions(config));
    sensor.world = AddMeasurements(
        *sensor.device, RangingWorldFromJson(config.contains("world") ? config.at("world") : none));
    return sensor;
}

} // namespace dlnsim
