// A scenario's "adapter": its type by name or number, versions, ports and frequencies.
#include "latency_json.h"
#include "options.h"
#include "scenario_parts.h"

#include <cctype>

namespace dlnsim::scenario {

namespace {

using nlohmann::json;

struct HardwareType {
    const char *name;
    uint32_t code;
};
constexpr HardwareType kHardwareTypes[] = {
    {"DLN-1", 0x0100}, {"DLN-2", 0x0200}, {"DLN-3", 0x0300}, {"DLN-4M", 0x0401}, {"DLN-4S", 0x0402},
};

uint32_t HardwareTypeOf(const Context &context, const json &value) {
    if (value.is_string()) {
        const std::string &name = value.get_ref<const std::string &>();
        for (const HardwareType &type : kHardwareTypes)
            if (name == type.name)
                return type.code;
        // A string that is no number is meant as a type name.
        if (name.empty() || !std::isdigit(static_cast<unsigned char>(name[0]))) {
            std::string known;
            for (const HardwareType &type : kHardwareTypes)
                known += std::string(type.name) + ", ";
            context.fail("adapter.type",
                         value.dump() + " is not an adapter type (" + known + "or a number)");
        }
    }
    return static_cast<uint32_t>(
        context.at("adapter", [&] { return UnsignedValue(value, 0xFFFFFFFF, "type"); }));
}

} // namespace

AdapterConfig LoadAdapter(const Context &context, const nlohmann::json &adapter) {
    ObjectAt(context, "adapter", adapter);
    CheckKeys(context, "adapter", adapter,
              {"type", "hardwareVersion", "firmwareVersion", "serverVersion", "libraryVersion",
               "i2cPorts", "spiPorts", "i2cFrequency", "spiFrequency", "latency", "comment"});
    AdapterConfig config;
    if (adapter.contains("type"))
        config.hardwareType = HardwareTypeOf(context, adapter["type"]);
    context.at("adapter", [&] {
        auto u32 = [&](const char *key, uint32_t fallback) {
            return static_cast<uint32_t>(UnsignedOption(adapter, key, 0xFFFFFFFF, fallback));
        };
        config.hardwareVersion = u32("hardwareVersion", config.hardwareVersion);
        config.firmwareVersion = u32("firmwareVersion", config.firmwareVersion);
        config.serverVersion = u32("serverVersion", config.serverVersion);
        config.libraryVersion = u32("libraryVersion", config.libraryVersion);
        config.i2cFrequency = u32("i2cFrequency", config.i2cFrequency);
        config.spiFrequency = u32("spiFrequency", config.spiFrequency);
        config.i2cPortCount =
            static_cast<uint8_t>(UnsignedOption(adapter, "i2cPorts", 0xFF, config.i2cPortCount));
        config.spiPortCount =
            static_cast<uint8_t>(UnsignedOption(adapter, "spiPorts", 0xFF, config.spiPortCount));
        return 0;
    });
    if (adapter.contains("latency"))
        config.latency =
            context.at("adapter.latency", [&] { return LatencyFromJson(adapter["latency"]); });
    return config;
}

} // namespace dlnsim::scenario
