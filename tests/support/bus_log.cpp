#include "support/bus_log.h"

#include "dln_inproc.h"
#include "support/captured_stdout.h"
#include "support/recorded_waits.h"

#include <cstdio>

std::string HexBytes(const std::vector<uint8_t> &bytes) {
    std::string text;
    char hex[4];
    for (uint8_t byte : bytes) {
        snprintf(hex, sizeof hex, "%02x", byte);
        if (!text.empty())
            text += ' ';
        text += hex;
    }
    return text;
}

std::string AfterEnabled(const std::string &out) {
    const std::string marker = "I2C Enabled\n";
    const size_t at = out.find(marker);
    return at == std::string::npos ? "<no I2C Enabled line>" : out.substr(at + marker.size());
}

namespace {

std::string TransferLine(const dlnsim::TraceEntry &entry) {
    const bool isWrite = entry.call == "DlnI2cMasterWrite";
    char head[32];
    snprintf(head, sizeof head, "%s 0x%02x:", isWrite ? "write" : "read", entry.address);
    std::string line = head;
    const std::string bytes = HexBytes(isWrite ? entry.out : entry.in);
    if (!bytes.empty() && entry.result < 0x40)
        line += " " + bytes;
    if (entry.result >= 0x40) {
        char result[16];
        snprintf(result, sizeof result, " -> 0x%02x", entry.result);
        line += result;
    }
    return line;
}

} // namespace

BusRun RunOnBus(const std::shared_ptr<dlnsim::Simulator> &sim,
                const std::function<void()> &action) {
    // Waits are placed among the transfers by the trace length at the moment they happen.
    std::vector<std::pair<size_t, uint32_t>> waits;
    RecordedWaits recorded;
    recorded.onWait([&](uint32_t ms) { waits.emplace_back(sim->trace().size(), ms); });
    DlnInprocAttach(sim);
    BusRun run;
    {
        CapturedStdout capture;
        action();
        run.out = capture.take();
    }
    DlnInprocDetach();

    run.trace = sim->trace();
    size_t nextWait = 0;
    for (size_t i = 0; i <= run.trace.size(); ++i) {
        for (; nextWait < waits.size() && waits[nextWait].first == i; ++nextWait)
            run.bus.push_back("wait " + std::to_string(waits[nextWait].second));
        if (i == run.trace.size())
            break;
        const dlnsim::TraceEntry &entry = run.trace[i];
        if (entry.call == "DlnI2cMasterWrite" || entry.call == "DlnI2cMasterRead")
            run.bus.push_back(TransferLine(entry));
    }
    return run;
}
