#include "dlnsim/scenario.h"

#include "dlnsim/models/registry.h"
#include "options.h"
#include "wire.h"

#include <nlohmann/json.hpp>

#include <fstream>
#include <set>
#include <sstream>

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
    if (value.is_string())
        for (const HardwareType &type : kHardwareTypes)
            if (value.get_ref<const std::string &>() == type.name)
                return type.code;
    return static_cast<uint32_t>(
        context.at("adapter", [&] { return UnsignedValue(value, 0xFFFFFFFF, "type"); }));
}

AdapterConfig LoadAdapter(const Context &context, const json &adapter) {
    ObjectAt(context, "adapter", adapter);
    CheckKeys(context, "adapter", adapter,
              {"type", "hardwareVersion", "firmwareVersion", "serverVersion", "libraryVersion",
               "i2cPorts", "spiPorts", "i2cFrequency", "spiFrequency", "comment"});
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

void LoadI2c(const Context &context, const json &list, SimBuilder &builder) {
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
        builder.i2c(static_cast<uint8_t>(address),
                    context.at(place, [&] { return MakeI2cModel(model, device); }));
    }
}

void LoadSpi(const Context &context, const json &list, SimBuilder &builder) {
    ListAt(context, "spi", list);
    std::set<uint64_t> seen;
    for (size_t i = 0; i < list.size(); ++i) {
        std::string place = "spi[" + std::to_string(i) + "]";
        const json &device = ObjectAt(context, place, list[i]);
        if (!device.contains("ss"))
            context.fail(place, "no \"ss\" (slave-select line 0..7) given");
        uint64_t line = context.at(place, [&] { return UnsignedValue(device["ss"], 7, "ss"); });
        if (!seen.insert(line).second)
            context.fail(place + ".ss", "a second device on the same slave-select line");
        std::string model = ModelOf(context, place, device);
        builder.spi(static_cast<uint8_t>(line),
                    context.at(place, [&] { return MakeSpiModel(model, device); }));
    }
}

void LoadFaults(const Context &context, const json &list, SimBuilder &builder) {
    ListAt(context, "faults", list);
    for (size_t i = 0; i < list.size(); ++i) {
        std::string place = "faults[" + std::to_string(i) + "]";
        const json &entry = ObjectAt(context, place, list[i]);
        CheckKeys(context, place, entry, {"call", "code", "nth", "comment"});
        Fault fault;
        auto call = entry.find("call");
        if (call == entry.end() || !call->is_string())
            context.fail(place, "no \"call\" name given");
        fault.call = call->get<std::string>();
        if (!dln::wire::CallByName(fault.call))
            context.fail(place + ".call", "unknown call \"" + fault.call + "\"");
        context.at(place, [&] {
            fault.code = static_cast<uint16_t>(UnsignedOption(entry, "code", 0xFFFF, fault.code));
            fault.nth = static_cast<uint32_t>(UnsignedOption(entry, "nth", 0xFFFFFFFF, 0));
            return 0;
        });
        if (fault.code < 0x40)
            context.fail(place + ".code", "a fault needs a failure code (0x40 or above)");
        builder.fault(fault);
    }
}

void LoadRandomFaults(const Context &context, const json &object, SimBuilder &builder) {
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

SimBuilder LoadScenario(std::string_view text, const std::string &source) {
    Context context(source);
    json root;
    try {
        root = json::parse(text.begin(), text.end());
    } catch (const json::exception &e) {
        // Also a number too large for a double (out_of_range), not only a syntax error.
        context.fail("", std::string("not valid JSON: ") + e.what());
    }
    ObjectAt(context, "top level", root);
    CheckKeys(context, "", root, {"adapter", "i2c", "spi", "faults", "randomFaults", "comment"});
    SimBuilder builder;
    if (root.contains("adapter"))
        builder.adapter(LoadAdapter(context, root["adapter"]));
    if (root.contains("i2c"))
        LoadI2c(context, root["i2c"], builder);
    if (root.contains("spi"))
        LoadSpi(context, root["spi"], builder);
    if (root.contains("faults"))
        LoadFaults(context, root["faults"], builder);
    if (root.contains("randomFaults"))
        LoadRandomFaults(context, root["randomFaults"], builder);
    return builder;
}

SimBuilder LoadScenarioFile(const std::string &path) {
    std::ifstream file(path, std::ios::binary);
    if (!file)
        throw ScenarioError(path + ": cannot be read");
    std::ostringstream text;
    text << file.rdbuf();
    return LoadScenario(text.str(), path);
}

} // namespace dlnsim
