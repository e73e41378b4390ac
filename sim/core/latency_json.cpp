#include "latency_json.h"

#include "options.h"
#include "wire.h"

#include <cmath>

namespace dlnsim {

namespace {

using nlohmann::json;

// A call slower than this is a mistake in the file, not a model of an adapter.
constexpr double kMaxMs = 10000;

uint32_t Microseconds(const json &time, const char *key, const std::string &place,
                      uint32_t fallback) {
    double ms = [&] {
        try {
            return NumberOption(time, key, fallback / 1000.0);
        } catch (const OptionError &e) {
            throw OptionError(place + "." + key, e.what());
        }
    }();
    if (!(ms >= 0 && ms <= kMaxMs))
        throw OptionError(place + "." + key, time[key].dump() + " is outside 0.." +
                                                 std::to_string(int(kMaxMs)) + " ms");
    return static_cast<uint32_t>(std::llround(ms * 1000));
}

CallTime CallTimeFrom(const json &time, const std::string &place, CallTime fallback) {
    if (!time.is_object())
        throw OptionError(place, "expected an object such as {\"medianMs\": 1.5, \"p95Ms\": 2}");
    for (auto &[key, value] : time.items())
        if (key != "medianMs" && key != "p95Ms")
            throw OptionError(place + "." + key, "unknown key (medianMs, p95Ms)");
    CallTime result;
    result.medianUs = Microseconds(time, "medianMs", place, fallback.medianUs);
    // A median alone is a time without jitter.
    result.p95Us = Microseconds(time, "p95Ms", place,
                                time.contains("medianMs") ? result.medianUs : fallback.p95Us);
    if (result.p95Us < result.medianUs)
        throw OptionError(place + ".p95Ms", "is below medianMs");
    if (result.medianUs == 0 && result.p95Us > 0)
        throw OptionError(place + ".medianMs", "must be above 0 when p95Ms is");
    return result;
}

LatencyModel Preset(const json &name, const std::string &place) {
    std::optional<LatencyModel> preset;
    if (name.is_string())
        preset = LatencyPreset(name.get<std::string>());
    if (!preset)
        throw OptionError(place, name.dump() + " is not a latency preset (robot, none)");
    return *preset;
}

} // namespace

LatencyModel LatencyFromJson(const json &value) {
    if (!value.is_object())
        return Preset(value, "");
    for (auto &[key, ignored] : value.items())
        if (key != "preset" && key != "server" && key != "usb" && key != "calls" &&
            key != "busTime" && key != "comment")
            throw OptionError(key, "unknown key");
    LatencyModel model =
        value.contains("preset") ? Preset(value["preset"], "preset") : LatencyModel{};
    if (value.contains("server"))
        model.server = CallTimeFrom(value["server"], "server", model.server);
    if (value.contains("usb"))
        model.usb = CallTimeFrom(value["usb"], "usb", model.usb);
    model.busTime = BoolOption(value, "busTime", model.busTime);
    if (value.contains("calls")) {
        const json &calls = value["calls"];
        if (!calls.is_object())
            throw OptionError("calls", "expected an object of calls by their C names");
        for (auto &[name, time] : calls.items()) {
            std::optional<dln::wire::Call> call = dln::wire::CallByName(name);
            if (!call)
                throw OptionError("calls." + name, "not an adapter call's name");
            auto &slot = model.calls[static_cast<size_t>(*call)];
            slot = CallTimeFrom(time, "calls." + name, slot.value_or(CallTime{}));
        }
    }
    return model;
}

} // namespace dlnsim
