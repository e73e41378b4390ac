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
    sensor.ranges = std::make_shared<RangeLog>();
    sensor.world = AddMeasurements(*sensor.device, world, sensor.ranges);
    return sensor;
}

nlohmann::json RangingSensorDevice::snapshot(uint64_t nowUs) const {
    const RangingWorld &world = *sensor_.world;
    nlohmann::json ranges = nlohmann::json::array();
    for (const RangeLog::Entry &entry : sensor_.ranges->entries)
        if (entry.timeUs + RangeLog::kKeepUs >= nowUs)
            ranges.push_back({entry.timeUs / 1e6, entry.rangeMm, entry.deviceStatus});
    nlohmann::json path = nlohmann::json::array();
    for (const RangingWorld::Waypoint &waypoint : world.path)
        path.push_back({{"timeMs", waypoint.timeUs / 1000.0}, {"distanceMm", waypoint.distanceMm}});
    return {{"distanceMm", world.distanceMmAt(nowUs)},
            {"reflectance", world.reflectance},
            {"noiseMm", world.noiseMm},
            {"path", path},
            {"ranges", ranges},
            {"lastRangeMm", sensor_.ranges->entries.empty()
                                ? nlohmann::json(nullptr)
                                : nlohmann::json(sensor_.ranges->entries.back().rangeMm)},
            {"rangesReported", sensor_.ranges->count},
            {"inReset", sensor_.device->inReset()}};
}

nlohmann::json RangingSensorDevice::settings() const {
    return {NumberSetting("distanceMm", 0, 2000, "mm"),
            NumberSetting("reflectance", 0, 1, ""),
            NumberSetting("noiseMm", 0, 50, "mm"),
            {{"name", "path"}}};
}

void RangingSensorDevice::set(const std::string &name, const nlohmann::json &value,
                              uint64_t nowUs) {
    RangingWorld &world = *sensor_.world;
    nlohmann::json object = {{name, value}};
    auto nonNegative = [&] {
        double number = NumberOption(object, name.c_str(), 0);
        if (number < 0)
            throw OptionError(name, "must not be negative");
        return number;
    };
    if (name == "distanceMm")
        world.path = {{nowUs, nonNegative()}};
    else if (name == "path")
        world.path = RangingPathFromJson(value, nowUs);
    else if (name == "reflectance")
        world.reflectance = nonNegative();
    else if (name == "noiseMm")
        world.noiseMm = nonNegative();
    else
        ObservableModel::set(name, value, nowUs);
}

} // namespace dlnsim
