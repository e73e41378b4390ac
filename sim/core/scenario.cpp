// A scenario file read into a SimBuilder: its parts in order, the timeline naming the devices
// loaded, and the file read with a size bound.
#include "dlnsim/scenario.h"

#include "options.h"
#include "scenario_parts.h"
#include "timeline.h"

#include <filesystem>
#include <fstream>

namespace dlnsim {

namespace {

using nlohmann::json;
using namespace scenario;

// SPI devices need a port to sit on. (An I2C device on an adapter without I2C ports stays
// allowed: tests use it to see the library find no port.)
void CheckPorts(const Context &context, const json &root, const AdapterConfig &config) {
    if (root.contains("spi") && root["spi"].is_array() && !root["spi"].empty() &&
        config.spiPortCount == 0)
        context.fail("spi", "devices given but adapter.spiPorts is 0");
}

// CSV files named in a scenario are found beside it.
std::string CsvDirectory(const std::string &scenarioPath) {
    return std::filesystem::path(scenarioPath).parent_path().string();
}

SimBuilder Load(std::string_view text, const std::string &source, const std::string &path,
                std::vector<std::string> *notices) {
    Context context(source);
    json root = Parse(context, text);
    ObjectAt(context, "top level", root);
    CheckKeys(context, "", root,
              {"adapter", "i2c", "spi", "faults", "randomFaults", "timeline", "comment"});
    Devices devices;
    SimBuilder builder;
    AdapterConfig adapter;
    if (root.contains("adapter"))
        adapter = LoadAdapter(context, root["adapter"]);
    CheckPorts(context, root, adapter);
    builder.adapter(adapter);
    if (root.contains("i2c"))
        LoadI2c(context, root["i2c"], builder, devices, CsvDirectory(path));
    if (root.contains("spi"))
        LoadSpi(context, root["spi"], builder, path, devices);
    if (root.contains("faults"))
        LoadFaults(context, root["faults"], builder);
    if (root.contains("randomFaults"))
        LoadRandomFaults(context, root["randomFaults"], builder, notices);
    if (root.contains("timeline")) {
        auto lookup = [&devices](bool spi, uint8_t where) {
            auto &map = spi ? devices.spi : devices.i2c;
            auto it = map.find(where);
            return it == map.end() ? nullptr : it->second;
        };
        auto events = context.at("", [&] {
            try {
                return TimelineFromJson(root["timeline"], lookup, CsvDirectory(path));
            } catch (const OptionError &e) {
                throw OptionError("timeline" + e.key, e.what());
            }
        });
        builder.timeline(std::make_shared<Timeline>(std::move(events)));
    }
    return builder;
}

} // namespace

SimBuilder LoadScenario(std::string_view text, const std::string &source,
                        std::vector<std::string> *notices) {
    return Load(text, source, "", notices);
}

SimBuilder LoadScenarioFile(const std::string &path, std::vector<std::string> *notices) {
    std::ifstream file(path, std::ios::binary);
    if (!file)
        throw ScenarioError(path + ": cannot be read");
    // Read at most one byte more than allowed: /dev/zero or a huge file must not fill memory.
    std::string text(kMaxScenarioBytes + 1, '\0');
    file.read(text.data(), static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<size_t>(file.gcount()));
    if (text.size() > kMaxScenarioBytes)
        throw ScenarioError(path + ": larger than " + std::to_string(kMaxScenarioBytes >> 20) +
                            " MiB; a scenario is a small JSON file");
    return Load(text, path, path, notices);
}

} // namespace dlnsim
