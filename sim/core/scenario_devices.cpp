// A scenario's devices: the "i2c" list by address and the "spi" list by slave-select line.
#include "csv_series.h"
#include "dlnsim/models/registry.h"
#include "options.h"
#include "scenario_parts.h"

#include <filesystem>
#include <set>

namespace dlnsim::scenario {

namespace {

using nlohmann::json;

std::string ModelOf(const Context &context, const std::string &place, const json &device) {
    auto model = device.find("model");
    if (model == device.end())
        context.fail(place, "no \"model\" given");
    if (!model->is_string())
        context.fail(place + ".model", "expected a model name");
    return model->get<std::string>();
}

// An external device ({"model": "external", "name": "thermometer", "timeoutMs": 100}), which
// a provider of that name serves once it claims the place.
void DeclareExternal(const Context &context, const std::string &place, const json &device,
                     ExternalPlace where, SimBuilder &builder) {
    context.at(place, [&] {
        CheckKnownOptions(device, {"name", "timeoutMs"});
        std::string name = StringOption(device, "name", "");
        if (name.empty() || name.size() > 64)
            throw OptionError("name", "needs the provider's name, 1 to 64 characters");
        auto timeoutMs = static_cast<uint32_t>(
            UnsignedOption(device, "timeoutMs", kMaxExternalTimeoutMs, kDefaultExternalTimeoutMs));
        if (timeoutMs == 0)
            throw OptionError("timeoutMs", "0 leaves the provider no time to answer");
        builder.external(where, name, timeoutMs);
    });
}

// The device's options with a laser path from a CSV file ("world": {"path": {"csv": ...}})
// read into waypoints.
json WithCsvPath(const json &device, const std::string &csvDirectory) {
    auto world = device.find("world");
    if (world == device.end() || !world->is_object() || !world->contains("path") ||
        !IsCsvSeries(world->at("path")))
        return device;
    json copy = device;
    try {
        copy["world"]["path"] = PathOfSeries(ReadCsvSeries(world->at("path"), csvDirectory));
    } catch (const OptionError &e) {
        throw OptionError("world.path." + e.key, e.what());
    }
    return copy;
}

} // namespace

void LoadI2c(const Context &context, const nlohmann::json &list, SimBuilder &builder,
             Devices &devices, const std::string &csvDirectory) {
    ListAt(context, "i2c", list);
    std::set<uint64_t> seen;
    for (size_t i = 0; i < list.size(); ++i) {
        std::string place = "i2c[" + std::to_string(i) + "]";
        const nlohmann::json &device = ObjectAt(context, place, list[i]);
        if (!device.contains("address"))
            context.fail(place, "no \"address\" given");
        uint64_t address =
            context.at(place, [&] { return UnsignedValue(device["address"], 0x7F, "address"); });
        if (!seen.insert(address).second)
            context.fail(place + ".address", "a second device at the same address");
        std::string model = ModelOf(context, place, device);
        if (model == "external") {
            DeclareExternal(context, place, device, {false, static_cast<uint8_t>(address)},
                            builder);
            continue;
        }
        auto made = context.at(
            place, [&] { return MakeI2cModel(model, WithCsvPath(device, csvDirectory)); });
        devices.i2c[static_cast<uint8_t>(address)] =
            std::dynamic_pointer_cast<ObservableModel>(made);
        builder.i2c(static_cast<uint8_t>(address), made);
    }
}

void LoadSpi(const Context &context, const nlohmann::json &list, SimBuilder &builder,
             const std::string &scenarioPath, Devices &devices) {
    ListAt(context, "spi", list);
    std::set<uint64_t> seen;
    for (size_t i = 0; i < list.size(); ++i) {
        std::string place = "spi[" + std::to_string(i) + "]";
        const nlohmann::json &device = ObjectAt(context, place, list[i]);
        if (!device.contains("ss"))
            context.fail(place, "no \"ss\" (slave-select line 0..3) given");
        // The adapter's SPI master has four slave-select lines.
        uint64_t line = context.at(place, [&] { return UnsignedValue(device["ss"], 3, "ss"); });
        if (!seen.insert(line).second)
            context.fail(place + ".ss", "a second device on the same slave-select line");
        std::string model = ModelOf(context, place, device);
        if (model == "external") {
            DeclareExternal(context, place, device, {true, static_cast<uint8_t>(line)}, builder);
            continue;
        }
        auto dump = device.find("dump");
        if (!scenarioPath.empty() && dump != device.end() && dump->is_string()) {
            std::error_code error;
            if (std::filesystem::equivalent(dump->get<std::string>(), scenarioPath, error))
                context.fail(place + ".dump",
                             "is the scenario file itself; the chip's memory would overwrite it");
        }
        auto made = context.at(place, [&] { return MakeSpiModel(model, device); });
        devices.spi[static_cast<uint8_t>(line)] = std::dynamic_pointer_cast<ObservableModel>(made);
        builder.spi(static_cast<uint8_t>(line), made);
    }
}

} // namespace dlnsim::scenario
