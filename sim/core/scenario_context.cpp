// Where a scenario's errors point, and the checks every part of it shares.
#include "dlnsim/scenario.h"
#include "options.h"
#include "scenario_parts.h"

namespace dlnsim::scenario {

void Context::fail(const std::string &place, const std::string &problem) const {
    throw ScenarioError(source_ + ": " + (place.empty() ? "" : place + ": ") + problem);
}

void Context::rethrowAt(const std::string &place) const {
    try {
        throw;
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

void CheckKeys(const Context &context, const std::string &place, const nlohmann::json &object,
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

const nlohmann::json &ObjectAt(const Context &context, const std::string &place,
                               const nlohmann::json &value) {
    if (!value.is_object())
        context.fail(place, "expected an object, found " + std::string(value.type_name()));
    return value;
}

const nlohmann::json &ListAt(const Context &context, const std::string &place,
                             const nlohmann::json &value) {
    if (!value.is_array())
        context.fail(place, "expected a list, found " + std::string(value.type_name()));
    return value;
}

} // namespace dlnsim::scenario
