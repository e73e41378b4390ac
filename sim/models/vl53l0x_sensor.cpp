#include "dlnsim/models/vl53l0x_sensor.h"

#include "dlnsim/models/vl53l0x_measurement.h"
#include "dlnsim/models/vl53l0x_nvm.h"
#include "dlnsim/models/vl53l0x_timing.h"
#include "options.h"
#include "vl53l0x_world_json.h"

#include <nlohmann/json.hpp>

namespace dlnsim {

RangingSensor MakeRangingSensor(const nlohmann::json &options) {
    const nlohmann::json none = nlohmann::json::object();
    const nlohmann::json &config = options.is_object() ? options : none;
    CheckKnownOptions(config, {"refSpadCount", "apertureSpads", "goodSpadMap", "nvmBusyPolls",
                               "nvmNeverReady", "nvmWords", "world"});
    RangingSensor sensor;
    sensor.device = std::make_shared<Vl53l0x>();
    AddVl53l0xTiming(*sensor.device);
    AddVl53l0xLimitChecks(*sensor.device);
    AddVl53l0xNvm(*sensor.device, Vl53l0xNvmFromOptions(config));
    RangingWorld world;
    try {
        world = RangingWorldFromJson(config.contains("world") ? config.at("world") : none);
    } catch (const OptionError &e) {
        throw OptionError(e.key.empty() ? "world" : "world." + e.key, e.what());
    }
    sensor.world = AddMeasurements(*sensor.device, world);
    return sensor;
}

} // namespace dlnsim
