#include "live_state.h"

#include "dlnsim/models/observable_model.h"
#include "dlnsim/trace.h"
#include "fault_json.h"
#include "simulator_impl.h"
#include "timeline.h"
#include "world_change.h"

#include <cstdio>

namespace dlnsim {

namespace {

constexpr size_t kTraceLines = 20;
constexpr size_t kChangesKept = 20;
constexpr uint64_t kRateWindowUs = 2000000;

std::shared_ptr<ObservableModel> Find(const Simulator &simulator, bool spi, uint8_t where) {
    if (spi)
        return std::dynamic_pointer_cast<ObservableModel>(simulator.spiDevice(where));
    return std::dynamic_pointer_cast<ObservableModel>(simulator.i2cDevice(where));
}

template <class Map>
void AddDevices(nlohmann::json &devices, const char *bus, const Map &map, uint64_t nowUs) {
    for (const auto &[where, device] : map) {
        auto observable = std::dynamic_pointer_cast<ObservableModel>(device);
        nlohmann::json entry = {{"bus", bus}, {"address", where}};
        if (observable) {
            entry["model"] = observable->modelName();
            entry["state"] = observable->snapshot(nowUs);
            entry["settings"] = observable->settings();
        }
        devices.push_back(std::move(entry));
    }
}

} // namespace

LiveState::LiveState(std::shared_ptr<Simulator> simulator) : simulator_(std::move(simulator)) {}

nlohmann::json LiveState::snapshot() {
    Simulator::Impl &impl = *simulator_->impl_;
    nlohmann::json state = nlohmann::json::object();
    nlohmann::json devices = nlohmann::json::array();
    std::vector<TraceEntry> trace;
    std::vector<Fault> pending;
    nlohmann::json timeline = nlohmann::json::object();
    uint64_t nowUs = 0, calls = 0, injected = 0;
    size_t clients = 0;
    {
        std::lock_guard lock(impl.mutex);
        nowUs = impl.clock();
        if (impl.timeline) {
            // The world as it stands now, also while no program calls.
            impl.timeline->applyDue(impl.faults.plan(), nowUs);
            timeline = {{"pending", impl.timeline->pending()},
                        {"applied", impl.timeline->applied()}};
        }
        AddDevices(devices, "i2c", impl.adapter.i2cDevices(), nowUs);
        AddDevices(devices, "spi", impl.adapter.spiDevices(), nowUs);
        trace = impl.trace.last(kTraceLines);
        pending = impl.faults.plan().active();
        calls = impl.trace.recorded();
        injected = impl.faults.injected();
        clients = impl.sessions.count();
    }
    nlohmann::json lines = nlohmann::json::array();
    for (const TraceEntry &entry : trace)
        lines.push_back(FormatTraceLine(entry));
    nlohmann::json faults = nlohmann::json::array();
    for (const Fault &fault : pending)
        faults.push_back(FaultToJson(fault));
    const AdapterConfig &config = simulator_->config();
    state["timeS"] = static_cast<double>(nowUs) / 1e6;
    state["adapter"] = {{"type", config.hardwareType},
                        {"i2cPorts", config.i2cPortCount},
                        {"spiPorts", config.spiPortCount}};
    state["devices"] = std::move(devices);
    state["bus"] = {{"calls", calls},
                    {"callsPerSecond", callsPerSecond(nowUs, calls)},
                    {"clients", clients},
                    {"faultsInjected", injected},
                    {"pendingFaults", std::move(faults)},
                    {"trace", std::move(lines)}};
    state["timeline"] = std::move(timeline);
    std::lock_guard lock(mutex_);
    state["changes"] = changes_;
    return state;
}

std::string LiveState::change(const nlohmann::json &request) {
    Simulator::Impl &impl = *simulator_->impl_;
    // Reading the change looks devices up: the maps never change, so no lock is needed.
    const Simulator &simulator = *simulator_;
    WorldChange change = WorldChangeFromJson(
        request, [&simulator](bool spi, uint8_t where) { return Find(simulator, spi, where); });
    std::string line;
    uint64_t nowUs = 0;
    {
        std::lock_guard lock(impl.mutex);
        nowUs = impl.clock();
        line = ApplyWorldChange(change, impl.faults.plan(), nowUs);
    }
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

std::string LiveState::DescribeDevices(const Simulator &simulator) {
    const Simulator::Impl &impl = *simulator.impl_;
    std::string text;
    auto add = [&text](const char *bus, const auto &map) {
        std::string part;
        for (const auto &[where, device] : map) {
            auto observable = std::dynamic_pointer_cast<ObservableModel>(device);
            char name[16];
            std::snprintf(name, sizeof name, bus[0] == 'i' ? "0x%02x" : "%u", where);
            part += (part.empty() ? std::string(bus) + " " : ", ") + name + " " +
                    (observable ? observable->modelName() : "device");
        }
        if (!part.empty())
            text += (text.empty() ? "" : "; ") + part;
    };
    add("i2c", impl.adapter.i2cDevices());
    add("spi", impl.adapter.spiDevices());
    return text.empty() ? "no devices" : text;
}

} // namespace dlnsim
