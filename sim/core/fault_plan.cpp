#include "fault_plan.h"

#include "dln_api.h"

#include <algorithm>
#include <cstdio>

namespace dlnsim {

namespace {

struct NamedCode {
    const char *name;
    uint16_t code;
};
constexpr NamedCode kFaultCodes[] = {
    {"not-connected", DLN_RES_NOT_CONNECTED},
    {"invalid-handle", DLN_RES_INVALID_HANDLE},
    {"no-such-device", DLN_RES_NO_SUCH_DEVICE},
    {"invalid-port", DLN_RES_INVALID_PORT},
    {"nack", DLN_RES_I2C_NACK},
    {"invalid-argument", DLN_RES_INVALID_ARGUMENT},
    {"timeout", DLN_RES_TIMEOUT},
    {"connection-failed", DLN_RES_CONNECTION_FAILED},
    {"protocol-error", DLN_RES_PROTOCOL_ERROR},
    {"port-disabled", DLN_RES_PORT_DISABLED},
    {"fail", DLN_RES_FAIL},
};

} // namespace

FaultPlan::FaultPlan(std::vector<Fault> faults) {
    for (const Fault &fault : faults)
        add(fault);
}

bool FaultPlan::Spent(const Entry &entry) {
    const Fault &fault = entry.fault;
    return (fault.count != 0 && entry.failed >= fault.count) ||
           (fault.nth != 0 && entry.seen >= fault.nth);
}

std::optional<uint16_t> FaultPlan::match(const std::string &call, int target) {
    std::optional<uint16_t> code;
    for (Entry &entry : entries_) {
        const Fault &fault = entry.fault;
        if (fault.call != call || (fault.target >= 0 && fault.target != target) || Spent(entry))
            continue;
        ++entry.seen;
        if (!code && (fault.nth == 0 || fault.nth == entry.seen)) {
            code = fault.code;
            ++entry.failed;
        }
    }
    // Faults that will never fire again leave the list, so that it shows what is pending.
    std::erase_if(entries_, [](const Entry &entry) { return Spent(entry); });
    return code;
}

void FaultPlan::add(const Fault &fault) {
    entries_.push_back({fault});
}

void FaultPlan::clear() {
    entries_.clear();
}

std::vector<Fault> FaultPlan::active() const {
    std::vector<Fault> faults;
    for (const Entry &entry : entries_)
        faults.push_back(entry.fault);
    return faults;
}

std::optional<uint16_t> FaultCodeByName(const std::string &name) {
    for (const NamedCode &named : kFaultCodes)
        if (name == named.name)
            return named.code;
    return std::nullopt;
}

std::string FaultCodeName(uint16_t code) {
    for (const NamedCode &named : kFaultCodes)
        if (code == named.code)
            return named.name;
    char hex[8];
    std::snprintf(hex, sizeof hex, "0x%02x", code);
    return hex;
}

std::string FaultCodeNames() {
    std::string names;
    for (const NamedCode &named : kFaultCodes)
        names += (names.empty() ? "" : ", ") + std::string(named.name);
    return names;
}

bool CallHasAddress(const std::string &call) {
    return call == "DlnI2cMasterWrite" || call == "DlnI2cMasterRead";
}

bool CallHasSsLine(const std::string &call) {
    return call == "DlnSpiMasterReadWrite";
}

} // namespace dlnsim
