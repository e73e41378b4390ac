#include "live_state.h"

#include "dlnsim/observation.h"
#include "dlnsim/trace.h"

#include <cstdio>

namespace dlnsim {

namespace {

constexpr size_t kTraceLines = 20;
constexpr size_t kChangesKept = 20;
// The page shows this many pending faults and says how many more there are: a list of
// thousands would cost every update hundreds of kilobytes.
constexpr size_t kFaultsShown = 20;
constexpr uint64_t kRateWindowUs = 2000000;

// A list of lines kept oldest first, newest first: the page shows the top of each list.
template <class Lines> nlohmann::json NewestFirst(const Lines &lines) {
    nlohmann::json list = nlohmann::json::array();
    for (auto line = lines.rbegin(); line != lines.rend(); ++line)
        list.push_back(*line);
    return list;
}

} // namespace

LiveState::LiveState(std::shared_ptr<Simulator> simulator) : simulator_(std::move(simulator)) {}

nlohmann::json LiveState::snapshot() {
    Observation seen = simulator_->observe(kTraceLines, kFaultsShown);
    nlohmann::json devices = nlohmann::json::array();
    for (DeviceView &device : seen.devices) {
        nlohmann::json entry = {{"bus", device.bus}, {"address", device.address}};
        if (!device.model.empty()) {
            entry["model"] = device.model;
            entry["state"] = std::move(device.state);
            entry["settings"] = std::move(device.settings);
        }
        devices.push_back(std::move(entry));
    }
    std::vector<std::string> lines;
    for (const TraceEntry &entry : seen.trace)
        lines.push_back(FormatTraceLine(entry));
    nlohmann::json faults = nlohmann::json::array();
    for (const Fault &fault : seen.pendingFaults)
        faults.push_back(DescribeFault(fault));
    nlohmann::json timeline = nlohmann::json::object();
    if (seen.timeline)
        timeline = {{"pending", seen.timelinePending},
                    {"applied", NewestFirst(seen.timelineApplied)}};
    const AdapterConfig &config = simulator_->config();
    nlohmann::json state = nlohmann::json::object();
    state["timeS"] = static_cast<double>(seen.nowUs) / 1e6;
    state["adapter"] = {{"type", config.hardwareType},
                        {"i2cPorts", config.i2cPortCount},
                        {"spiPorts", config.spiPortCount},
                        {"unplugged", seen.unpluggedForUs != 0},
                        {"unpluggedForS", static_cast<double>(seen.unpluggedForUs) / 1e6}};
    state["devices"] = std::move(devices);
    state["bus"] = {{"calls", seen.calls},
                    {"callsPerSecond", callsPerSecond(seen.nowUs, seen.calls)},
                    {"clients", seen.clients},
                    {"faultsInjected", seen.faultsInjected},
                    {"pendingFaults", std::move(faults)},
                    {"pendingFaultCount", seen.pendingFaultCount},
                    {"trace", NewestFirst(lines)}};
    state["timeline"] = std::move(timeline);
    std::lock_guard lock(mutex_);
    state["changes"] = NewestFirst(changes_);
    return state;
}

std::string LiveState::change(const nlohmann::json &request) {
    uint64_t nowUs = 0;
    std::string line = simulator_->changeWorld(request, &nowUs);
    char at[32];
    std::snprintf(at, sizeof at, "%.3f s: ", static_cast<double>(nowUs) / 1e6);
    remember(at + line);
    return line;
}

double LiveState::callsPerSecond(uint64_t nowUs, uint64_t calls) {
    std::lock_guard lock(mutex_);
    samples_.emplace_back(nowUs, calls);
    while (samples_.size() > 2 && samples_.front().first + kRateWindowUs < nowUs)
        samples_.pop_front();
    const auto &[firstUs, firstCalls] = samples_.front();
    if (nowUs <= firstUs)
        return 0;
    return static_cast<double>(calls - firstCalls) * 1e6 / static_cast<double>(nowUs - firstUs);
}

void LiveState::remember(const std::string &line) {
    std::lock_guard lock(mutex_);
    changes_.push_back(line);
    if (changes_.size() > kChangesKept)
        changes_.pop_front();
}

} // namespace dlnsim
