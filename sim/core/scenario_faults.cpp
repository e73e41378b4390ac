// A scenario's faults: the named "faults" list and the "randomFaults" drawn from a seed.
#include "fault_json.h"
#include "options.h"
#include "scenario_parts.h"
#include "wire.h"

#include <random>

namespace dlnsim::scenario {

using nlohmann::json;

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

} // namespace dlnsim::scenario
