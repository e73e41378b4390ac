#include "vl53l0x_world_json.h"

namespace dlnsim {

namespace {

template <class T> void Read(const nlohmann::json &object, const char *key, T &value) {
    if (object.contains(key))
        value = object.at(key).get<T>();
}

} // namespace

RangingWorld RangingWorldFromJson(const nlohmann::json &world) {
    RangingWorld out;
    if (!world.is_object())
        return out;
    if (world.contains("distanceMm"))
        out.path = {{0, world.at("distanceMm").get<double>()}};
    if (world.contains("path")) {
        out.path.clear();
        for (const nlohmann::json &point : world.at("path")) {
            out.path.push_back({static_cast<uint64_t>(point.at("timeMs").get<double>() * 1000.0),
                                point.at("distanceMm").get<double>()});
        }
    }
    Read(world, "reflectance", out.reflectance);
    Read(world, "signalAt1mMcps", out.signalAt1mMcps);
    Read(world, "ambientMcps", out.ambientMcps);
    Read(world, "minSignalMcps", out.minSignalMcps);
    Read(world, "noiseMm", out.noiseMm);
    Read(world, "noiseSeed", out.noiseSeed);
    Read(world, "effectiveSpads", out.effectiveSpads);
    Read(world, "measurementTimeUs", out.measurementTimeUs);
    Read(world, "calibrationTimeUs", out.calibrationTimeUs);
    Read(world, "vhvSetting", out.vhvSetting);
    Read(world, "phaseCal", out.phaseCal);
    Read(world, "nonApertureSpadRate", out.nonApertureSpadRate);
    Read(world, "apertureSpadRate", out.apertureSpadRate);
    return out;
}

} // namespace dlnsim
