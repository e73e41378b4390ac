#include "dlnsim/scenario.h"

#include "dlnsim/models/registry.h"
#include "fault_json.h"
#include "latency_json.h"
#include "options.h"
#include "timeline.h"
#include "wire.h"

#include <nlohmann/json.hpp>

#include <cctype>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <set>

namespace dlnsim {

namespace {

using nlohmann::json;

struct HardwareType {
    const char *name;
    uint32_t code;
};
constexpr HardwareType kHardwareTypes[] = {
    {"DLN-1", 0x0100}, {"DLN-2", 0x0200}, {"DLN-3", 0x0300}, {"DLN-4M", 0x0401}, {"DLN-4S", 0x0402},
};

// Error reporting with the source and a place prefix.
class Context {
  public:
    explicit Context(std::string source) : source_(std::move(source)) {}
    [[noreturn]] void fail(const std::string &place, const std::string &problem) const {
        throw ScenarioError(source_ + ": " + (place.empty() ? "" : place + ": ") + problem);
    }
    // Runs body, turning an OptionError into a ScenarioError at place.key.
    template <class Body> auto at(const std::string &place, Body &&body) const {
        try {
            return body();
        } catch (const OptionError &e) {
            std::string key = e.key;
            fail(key.empty() ? place : place.empty() ? key : place + "." + key, e.what());
        } catch (const ScenarioError &) {
            throw;
        } catch (const std::exception &e) {
            // A model reading its options with plain JSON accessors ("type must be number").
            fail(place, e.what());
        }
    }

  private:
    std::string source_;
};

void CheckKeys(const Context &context, const std::string &place, const json &object,
               std::initializer_list<const char *> known) {
    context.at(place, [&] {
        for (auto &[key, value] : object.items()) {
            bool ok = false;
            for (const char *k : known)
                ok = ok || key == k;
            if (!ok)
                throw OptionError(key, "unknown key");
        }
        return 0;
    });
}

const json &ObjectAt(const Context &context, const std::string &place, const json &value) {
    if (!value.is_object())
        context.fail(place, "expected an object, found " + std::string(value.type_name()));
    return value;
}

const json &ListAt(const Context &context, const std::string &place, const json &value) {
    if (!value.is_array())
        context.fail(place, "expected a list, found " + std::string(value.type_name()));
    return value;
}

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

AdapterConfig LoadAdapter(const Context &context, const json &adapter) {
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

std::string ModelOf(const Context &context, const std::string &place, const json &device) {
    auto model = device.find("model");
    if (model == device.end())
        context.fail(place, "no \"model\" given");
    if (!model->is_string())
        context.fail(place + ".model", "expected a model name");
    return model->get<std::string>();
}

// The devices loaded, for the timeline to name.
struct Devices {
    std::map<uint8_t, std::shared_ptr<ObservableModel>> i2c, spi;
};

void LoadI2c(const Context &context, const json &list, SimBuilder &builder, Devices &devices) {
    ListAt(context, "i2c", list);
    std::set<uint64_t> seen;
    for (size_t i = 0; i < list.size(); ++i) {
        std::string place = "i2c[" + std::to_string(i) + "]";
        const json &device = ObjectAt(context, place, list[i]);
        if (!device.contains("address"))
            context.fail(place, "no \"address\" given");
        uint64_t address =
            context.at(place, [&] { return UnsignedValue(device["address"], 0x7F, "address"); });
        if (!seen.insert(address).second)
            context.fail(place + ".address", "a second device at the same address");
        std::string model = ModelOf(context, place, device);
        auto made = context.at(place, [&] { return MakeI2cModel(model, device); });
        devices.i2c[static_cast<uint8_t>(address)] =
            std::dynamic_pointer_cast<ObservableModel>(made);
        builder.i2c(static_cast<uint8_t>(address), made);
    }
}

void LoadSpi(const Context &context, const json &list, SimBuilder &builder,
             const std::string &scenarioPath, Devices &devices) {
    ListAt(context, "spi", list);
    std::set<uint64_t> seen;
    for (size_t i = 0; i < list.size(); ++i) {
        std::string place = "spi[" + std::to_string(i) + "]";
        const json &device = ObjectAt(context, place, list[i]);
        if (!device.contains("ss"))
            context.fail(place, "no \"ss\" (slave-select line 0..3) given");
        // The adapter's SPI master has four slave-select lines.
        uint64_t line = context.at(place, [&] { return UnsignedValue(device["ss"], 3, "ss"); });
        if (!seen.insert(line).second)
            context.fail(place + ".ss", "a second device on the same slave-select line");
        std::string model = ModelOf(context, place, device);
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

void LoadFaults(const Context &context, const json &list, SimBuilder &builder) {
    ListAt(context, "faults", list);
    for (size_t i = 0; i < list.size(); ++i) {
        std::string place = "faults[" + std::to_string(i) + "]";
        ObjectAt(context, place, list[i]);
        builder.fault(context.at(place, [&] { return FaultFromJson(list[i]); }));
    }
}

void LoadRandomFaults(const Context &context, const json &object, SimBuilder &builder,
                      std::vector<std::string> *notices) {
    const std::string place = "randomFaults";
    ObjectAt(context, place, object);
    CheckKeys(context, place, object, {"seed", "rate", "calls", "kinds", "comment"});
    RandomFaults faults;
    context.at(place, [&] {
        faults.seed = UnsignedOption(object, "seed", UINT64_MAX, faults.seed);
        faults.rate = NumberOption(object, "rate", 0);
        return 0;
    });
    if (faults.rate < 0 || faults.rate > 1)
        context.fail(place + ".rate", "a chance from 0 to 1");
    if (!object.contains("seed") && faults.rate > 0) {
        // A fresh seed per run, told to the user so that a failing run can be repeated.
        faults.seed = std::random_device{}();
        if (notices != nullptr)
            notices->push_back("randomFaults: seed " + std::to_string(faults.seed) +
                               " drawn; put \"seed\": " + std::to_string(faults.seed) +
                               " into the scenario to repeat this run");
    }
    if (object.contains("calls")) {
        const json &calls = ListAt(context, place + ".calls", object["calls"]);
        for (size_t i = 0; i < calls.size(); ++i) {
            std::string where = place + ".calls[" + std::to_string(i) + "]";
            if (!calls[i].is_string() || !dln::wire::CallByName(calls[i].get<std::string>()))
                context.fail(where, "unknown call " + calls[i].dump());
            faults.calls.push_back(calls[i].get<std::string>());
        }
    }
    if (object.contains("kinds")) {
        const json &kinds = ListAt(context, place + ".kinds", object["kinds"]);
        faults.nack = faults.fail = faults.flip = false;
        for (size_t i = 0; i < kinds.size(); ++i) {
            std::string kind = kinds[i].is_string() ? kinds[i].get<std::string>() : "";
            if (kind == "nack")
                faults.nack = true;
            else if (kind == "fail")
                faults.fail = true;
            else if (kind == "flip")
                faults.flip = true;
            else
                context.fail(place + ".kinds[" + std::to_string(i) + "]",
                             kinds[i].dump() + " is not \"nack\", \"fail\" or \"flip\"");
        }
    }
    builder.randomFaults(faults);
}

} // namespace

namespace {

// Where the parser is in the document, for errors found while parsing: one frame per open
// object (with its keys so far) or list (with its element count).
class ParsePlace {
  public:
    // Returns the parser callback; it refuses a key given twice in one object.
    auto callback(const Context &context) {
        return [this, &context](int, json::parse_event_t event, json &parsed) {
            switch (event) {
            case json::parse_event_t::object_start:
            case json::parse_event_t::array_start:
                countElement();
                frames_.emplace_back();
                frames_.back().list = event == json::parse_event_t::array_start;
                break;
            case json::parse_event_t::object_end:
            case json::parse_event_t::array_end:
                frames_.pop_back();
                break;
            case json::parse_event_t::key: {
                Frame &frame = frames_.back();
                frame.key = parsed.get<std::string>();
                if (!frame.keys.insert(frame.key).second)
                    context.fail(place(), "given twice (a key may appear once in an object)");
                break;
            }
            case json::parse_event_t::value:
                countElement();
                break;
            }
            return true;
        };
    }
    // "i2c[1].address"; "top level" outside any object.
    std::string place() const {
        std::string text;
        for (const Frame &frame : frames_) {
            // Appended piece by piece: GCC 12 warns wrongly about "[" + std::string.
            if (frame.list) {
                text += '[';
                text += std::to_string(frame.elements == 0 ? 0 : frame.elements - 1);
                text += ']';
            } else if (!frame.key.empty()) {
                if (!text.empty())
                    text += '.';
                text += frame.key;
            }
        }
        return text.empty() ? "top level" : text;
    }

  private:
    struct Frame {
        bool list = false;
        size_t elements = 0;
        std::string key;
        std::set<std::string> keys;
    };
    void countElement() {
        if (!frames_.empty() && frames_.back().list)
            ++frames_.back().elements;
    }
    std::vector<Frame> frames_;
};

json Parse(const Context &context, std::string_view text) {
    ParsePlace place;
    try {
        return json::parse(text.begin(), text.end(), place.callback(context));
    } catch (const json::out_of_range &e) {
        // A number beyond what a double holds (1e999): named where it stands.
        context.fail(place.place(), "a number out of range (" + std::string(e.what()) + ")");
    } catch (const json::exception &e) {
        context.fail("", std::string("not valid JSON: ") + e.what());
    }
}

// SPI devices need a port to sit on. (An I2C device on an adapter without I2C ports stays
// allowed: tests use it to see the library find no port.)
void CheckPorts(const Context &context, const json &root, const AdapterConfig &config) {
    if (root.contains("spi") && root["spi"].is_array() && !root["spi"].empty() &&
        config.spiPortCount == 0)
        context.fail("spi", "devices given but adapter.spiPorts is 0");
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
        LoadI2c(context, root["i2c"], builder, devices);
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
                return TimelineFromJson(root["timeline"], lookup);
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
