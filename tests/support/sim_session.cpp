#include "support/sim_session.h"

#include "support/transfer_lines.h"

std::vector<std::string> SimSession::calls() const {
    std::vector<std::string> names;
    for (const dlnsim::TraceEntry &entry : sim_->trace())
        names.push_back(entry.call);
    return names;
}

std::vector<std::string> SimSession::transfers() const {
    return TransferLines(sim_->trace());
}
