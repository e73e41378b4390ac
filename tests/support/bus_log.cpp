#include "support/bus_log.h"

#include "dln_inproc.h"
#include "support/captured_stdout.h"
#include "support/recorded_waits.h"
#include "support/transfer_lines.h"

std::string AfterEnabled(const std::string &out) {
    const std::string marker = "I2C Enabled\n";
    const size_t at = out.find(marker);
    return at == std::string::npos ? "<no I2C Enabled line>" : out.substr(at + marker.size());
}

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
        const std::string line = TransferLine(run.trace[i]);
        if (!line.empty())
            run.bus.push_back(line);
    }
    return run;
}
