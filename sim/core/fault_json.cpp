#include "fault_json.h"

#include "fault_plan.h"
#include "options.h"
#include "wire.h"

#include <nlohmann/json.hpp>

#include <cctype>

namespace dlnsim {

uint16_t FaultCodeFromJson(const nlohmann::json &value) {
    if (value.is_string()) {
        const std::string &name = value.get_ref<const std::string &>();
        if (auto code = FaultCodeByName(name))
            return *code;
        if (name.empty() || !std::isdigit(static_cast<unsigned char>(name[0])))
            throw OptionError("code", value.dump() + " is not a failure code (" + FaultCodeNames() +
                                          " or a number from 0x40)");
    }
    auto code = UnsignedValue(value, 0xFFFF, "code");
    if (code < 0x40)
        throw OptionError("code", "a fault needs a failure code (0x40 or above)");
    return static_cast<uint16_t>(code);
}

Fault FaultFromJson(const nlohmann::json &object) {
    if (!object.is_object())
        throw OptionError("", "expected an object, found " + std::string(object.type_name()));
    CheckKnownOptions(object, {"call", "code", "nth", "count"});
    Fault fault;
    auto call = object.find("call");
    if (call == object.end() || !call->is_string())
        throw OptionError("", "no \"call\" name given");
    fault.call = call->get<std::string>();
    if (!dln::wire::CallByName(fault.call))
        throw OptionError("call", "unknown call \"" + fault.call + "\"");
    if (object.contains("code"))
        fault.code = FaultCodeFromJson(object.at("code"));
    if (object.contains("nth")) {
        fault.nth = static_cast<uint32_t>(UnsignedOption(object, "nth", 0xFFFFFFFF, 0));
        if (fault.nth == 0)
            throw OptionError("nth", "0 is no call; the first call is 1 (leave nth out to fail "
                                     "every call)");
    }
    fault.count = static_cast<uint32_t>(UnsignedOption(object, "count", 0xFFFFFFFF, 0));
    if (object.contains("address")) {
        if (!CallHasAddress(fault.call))
            throw OptionError("address", fault.call + " has no I2C address to aim at");
        fault.target = static_cast<int>(UnsignedOption(object, "address", 0x7F, 0));
    }
    if (object.contains("ss")) {
        if (!CallHasSsLine(fault.call))
            throw OptionError("ss", fault.call + " has no slave-select line to aim at");
        fault.target = static_cast<int>(UnsignedOption(object, "ss", 3, 0));
    }
    return fault;
}

nlohmann::json FaultToJson(const Fault &fault) {
    nlohmann::json object = {{"call", fault.call}, {"code", fault.code}};
    if (fault.nth != 0)
        object["nth"] = fault.nth;
    if (fault.count != 0)
        object["count"] = fault.count;
    if (fault.target >= 0)
        object[CallHasSsLine(fault.call) ? "ss" : "address"] = fault.target;
    return object;
}

} // namespace dlnsim
