#include "vl53l0x_world_json.h"

#include "options.h"

#include <string>

namespace dlnsim {

namespace {

// A number that must not be negative (distances, rates, amplitudes).
double NonNegative(const nlohmann::json &object, const char *key, double fallback,
                   const std::string &place) {
    double value = NumberOption(object, key, fallback);
    if (value < 0)
        throw OptionError(place + key, "must not be negative");
    return value;
}

} // namespace

std::vector<RangingWorld::Waypoint> RangingPathFromJson(const nlohmann::json &path,
                                                        uint64_t startUs) {
    if (!path.is_array() || path.empty())
        throw OptionError("path", "is not a list of waypoints");
    std::vector<RangingWorld::Waypoint> waypoints;
    for (size_t i = 0; i < path.size(); ++i) {
        const std::string place = "path[" + std::to_string(i) + "].";
        if (!path[i].is_object() || !path[i].contains("timeMs") || !path[i].contains("distanceMm"))
            throw OptionError(place.substr(0, place.size() - 1), "needs timeMs and distanceMm");
        const double timeMs = NonNegative(path[i], "timeMs", 0, place);
        // Beyond a few centuries the conversion to microseconds would overflow.
        if (timeMs > 1e13)
            throw OptionError(place + "timeMs", "is above 1e13");
        const auto timeUs = startUs + static_cast<uint64_t>(timeMs * 1000.0);
        if (!waypoints.empty() && timeUs < waypoints.back().timeUs)
            throw OptionError(place + "timeMs", "is earlier than the waypoint before");
        waypoints.push_back({timeUs, NonNegative(path[i], "distanceMm", 0, place)});
    }
    return waypoints;
}

RangingWorld RangingWorldFromJson(const nlohmann::json &world) {
    RangingWorld out;
    if (world.is_null())
        return out;
    if (!world.is_object())
        throw OptionError("", "is not an object");
    CheckKnownOptions(world, {"distanceMm", "path", "reflectance", "signalAt1mMcps", "ambientMcps",
                              "minSignalMcps", "noiseMm", "noiseSeed", "effectiveSpads",
                              "measurementTimeUs", "calibrationTimeUs", "vhvSetting", "phaseCal",
                              "nonApertureSpadRate", "apertureSpadRate"});
    if (world.contains("distanceMm"))
        out.path = {{0, NonNegative(world, "distanceMm", 0, "")}};
    if (world.contains("path"))
        out.path = RangingPathFromJson(world.at("path"));
    out.reflectance = NonNegative(world, "reflectance", out.reflectance, "");
    out.signalAt1mMcps = NonNegative(world, "signalAt1mMcps", out.signalAt1mMcps, "");
    out.ambientMcps = NonNegative(world, "ambientMcps", out.ambientMcps, "");
    out.minSignalMcps = NonNegative(world, "minSignalMcps", out.minSignalMcps, "");
    out.noiseMm = NonNegative(world, "noiseMm", out.noiseMm, "");
    out.effectiveSpads = NonNegative(world, "effectiveSpads", out.effectiveSpads, "");
    if (out.effectiveSpads > 255)
        throw OptionError("effectiveSpads", "is above 255");
    out.noiseSeed = static_cast<uint32_t>(UnsignedOption(world, "noiseSeed", 0xFFFFFFFF, 1));
    out.measurementTimeUs = static_cast<uint32_t>(
        UnsignedOption(world, "measurementTimeUs", 0xFFFFFFFF, out.measurementTimeUs));
    out.calibrationTimeUs = static_cast<uint32_t>(
        UnsignedOption(world, "calibrationTimeUs", 0xFFFFFFFF, out.calibrationTimeUs));
    out.vhvSetting =
        static_cast<uint8_t>(UnsignedOption(world, "vhvSetting", 0xFF, out.vhvSetting));
    out.phaseCal = static_cast<uint8_t>(UnsignedOption(world, "phaseCal", 0xFF, out.phaseCal));
    out.nonApertureSpadRate = static_cast<uint16_t>(
        UnsignedOption(world, "nonApertureSpadRate", 0xFFFF, out.nonApertureSpadRate));
    out.apertureSpadRate = static_cast<uint16_t>(
        UnsignedOption(world, "apertureSpadRate", 0xFFFF, out.apertureSpadRate));
    return out;
}

} // namespace dlnsim
