// Every adapter call of every native method failing in turn: each method first runs cleanly
// against the default robot to learn its calls, then once per call with that one call failing.
// Nothing may crash, the failed call must be reported with its own lines, and every connection
// a call opened must be released again (the laser's aside, which is kept on purpose).
#include "jni/native_method_table.h"
#include "support/printed_lines.h"
#include "support/temp_working_dir.h"

#include <gtest/gtest.h>

#include <map>

namespace {

// The lines a failed call prints, by call; calls whose result nobody judges are absent.
const std::map<std::string, std::string> &FailureLines() {
    static const std::map<std::string, std::string> lines = [] {
        std::map<std::string, std::string> m = {
            {"DlnConnect", "Failed to connect to local DLN server\n"},
            {"DlnOpenDevice", "Failed to open device\n"},
            {"DlnGetVersion", "DlnGetVersion() failed\n"},
            {"DlnI2cMasterScanDevices", "DlnI2cMasterScanDevices() failed\n"},
            {"DlnI2cMasterWrite", "DlnI2cMasterWriteDevices() failed\n"},
            {"DlnI2cMasterRead", "DlnI2cMasterReadDevices() failed\n"},
        };
        auto twoLines = [&](const std::string &call, const std::string &printed) {
            m[call] = FailedCallLines(printed);
        };
        twoLines("DlnI2cMasterGetPortCount", "DlnI2cMasterGetPortCount");
        twoLines("DlnI2cMasterGetFrequency", "DlnI2CMasterGetFrequency");
        twoLines("DlnI2cMasterEnable", "DlnI2cMasterEnable");
        for (const char *spi :
             {"DlnSpiMasterGetPortCount", "DlnSpiMasterGetFrequency", "DlnSpiMasterEnable",
              "DlnSpiMasterSetMode", "DlnSpiMasterGetMode", "DlnSpiMasterSetFrequency",
              "DlnSpiMasterSetSS", "DlnSpiMasterReadWrite"})
            twoLines(spi, spi);
        return m;
    }();
    return lines;
}

// Failures the code deliberately lets pass without a line: the first of a board exchange's two
// reads (only the second carries the reply) and the sensor's register traffic, which reports
// through its status lines instead.
bool IgnoredFailure(const NativeMethodRow &row, const std::vector<dlnsim::TraceEntry> &trace,
                    size_t k) {
    const std::string &call = trace[k].call;
    if (row.keepsConnection && (call == "DlnI2cMasterWrite" || call == "DlnI2cMasterRead"))
        return true;
    // The servo current's first 0xA2 is sent again before anything is judged.
    if (call == "DlnI2cMasterWrite" && k + 1 < trace.size() &&
        trace[k + 1].call == "DlnI2cMasterWrite" && trace[k + 1].address == trace[k].address &&
        trace[k + 1].out == trace[k].out)
        return true;
    return call == "DlnI2cMasterRead" && k > 0 && k + 1 < trace.size() &&
           trace[k - 1].call == "DlnI2cMasterWrite" && trace[k + 1].call == "DlnI2cMasterRead" &&
           trace[k + 1].address == trace[k].address;
}

std::string ExpectedLine(const NativeMethodRow &row, const std::string &call) {
    if (row.transferLine != nullptr && (call == "DlnI2cMasterWrite" || call == "DlnI2cMasterRead"))
        return row.transferLine;
    auto line = FailureLines().find(call);
    return line == FailureLines().end() ? std::string() : line->second;
}

TEST(FaultSweep, EveryCallOfEveryMethodFailingInTurnIsReportedAndReleased) {
    TempWorkingDir dir;
    dir.write("program.hex", "0 12\n1 34\n80 56\n");
    size_t injections = 0;
    for (const NativeMethodRow &row : NativeMethodTable()) {
        const MethodRun clean = RunOnDefaultRobot(row);
        if (row.adapterCalls == 0)
            continue;
        ASSERT_FALSE(clean.trace.empty()) << row.name;
        // Long runs (the EEPROM's pages) are sampled: the first calls, every call's first
        // occurrence and an even spread of the rest.
        const size_t stride = std::max<size_t>(1, (clean.trace.size() - clean.before) / 60);
        std::map<std::string, uint32_t> seen;
        for (size_t k = 0; k < clean.trace.size(); ++k) {
            const std::string &call = clean.trace[k].call;
            const uint32_t nth = ++seen[call];
            if (k < clean.before)
                continue;
            if (k >= clean.before + 40 && nth > 1 && k % stride != 0)
                continue;
            const dlnsim::Fault fault{call, 0x4F, nth};
            const MethodRun run = RunOnDefaultRobot(row, &fault);
            ++injections;
            const std::string what = std::string(row.name) + " with " + call + " #" +
                                     std::to_string(nth) + " failing (call " + std::to_string(k) +
                                     ")";
            EXPECT_EQ(run.injected, 1u) << what;
            EXPECT_FALSE(run.exceptionPending) << what;
            const std::string line = ExpectedLine(row, call);
            if (!line.empty() && !IgnoredFailure(row, clean.trace, k)) {
                // The EEPROM's chip erase only prints its result code, as a number.
                const bool shown = run.out.find(line) != std::string::npos ||
                                   (call == "DlnSpiMasterReadWrite" &&
                                    run.out.find(" =79\n") != std::string::npos);
                EXPECT_TRUE(shown) << what << " does not say so:\n" << run.out;
            }
            if (!row.keepsConnection) {
                const HeldResources held = HeldAfter(run.trace);
                EXPECT_EQ(held.connections, 0) << what << ": connections left open";
                EXPECT_EQ(held.handles, 0) << what << ": handles left open";
            }
        }
    }
    RecordProperty("injections", static_cast<int>(injections));
}

} // namespace
