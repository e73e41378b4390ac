#include "support/sim_session.h"

#include <cstdio>

std::vector<std::string> SimSession::calls() const {
    std::vector<std::string> names;
    for (const dlnsim::TraceEntry &entry : sim_->trace())
        names.push_back(entry.call);
    return names;
}

namespace {
std::string Bytes(const std::vector<uint8_t> &bytes) {
    std::string text;
    char hex[4];
    for (uint8_t b : bytes) {
        snprintf(hex, sizeof hex, " %02x", b);
        text += hex;
    }
    return text;
}
} // namespace

std::vector<std::string> SimSession::transfers() const {
    std::vector<std::string> lines;
    char head[32];
    for (const dlnsim::TraceEntry &entry : sim_->trace()) {
        if (entry.call == "DlnI2cMasterWrite") {
            snprintf(head, sizeof head, "W %02x:", entry.address);
            lines.push_back(head + Bytes(entry.out));
        } else if (entry.call == "DlnI2cMasterRead") {
            snprintf(head, sizeof head, "R %02x:", entry.address);
            lines.push_back(head + Bytes(entry.in));
        } else if (entry.call == "DlnSpiMasterReadWrite") {
            lines.push_back("S out:" + Bytes(entry.out) + " in:" + Bytes(entry.in));
        }
    }
    return lines;
}
