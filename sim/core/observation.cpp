// What onlookers see of the simulator and the world changes they make: one short step under
// the simulator's lock each, so that programs calling meanwhile wait as little as possible.
#include "dlnsim/observation.h"

#include "dlnsim/models/observable_model.h"
#include "fault_plan.h"
#include "simulator_impl.h"
#include "timeline.h"
#include "world_change.h"

#include <algorithm>
#include <cstdio>

namespace dlnsim {

namespace {

template <class Map>
void AddDeviceViews(std::vector<DeviceView> &views, const char *bus, const Map &map,
                    uint64_t nowUs) {
    for (const auto &[where, device] : map) {
        DeviceView view;
        view.bus = bus;
        view.address = where;
        if (auto observable = std::dynamic_pointer_cast<ObservableModel>(device)) {
            view.model = observable->modelName();
            view.state = observable->snapshot(nowUs);
            view.settings = observable->settings();
        }
        views.push_back(std::move(view));
    }
}

// External devices as their provider describes them, after the built-in ones of their bus.
void AddExternalViews(std::vector<DeviceView> &views, const ExternalDevices &externals) {
    for (const auto &[place, device] : externals.all()) {
        DeviceView view;
        view.bus = place.spi ? "spi" : "i2c";
        view.address = place.where;
        view.model = "external";
        view.state = device.state;
        view.state["provider"] = device.name + (device.link ? "" : " (not connected)");
        auto after = std::find_if(views.begin(), views.end(), [&](const DeviceView &other) {
            return other.bus == view.bus ? other.address > view.address : view.bus == "i2c";
        });
        views.insert(after, std::move(view));
    }
}

std::shared_ptr<ObservableModel> ObservableAt(const Simulator &simulator, bool spi, uint8_t where) {
    if (spi)
        return std::dynamic_pointer_cast<ObservableModel>(simulator.spiDevice(where));
    return std::dynamic_pointer_cast<ObservableModel>(simulator.i2cDevice(where));
}

} // namespace

Observation Simulator::observe(size_t traceLines, size_t maxFaults) {
    Observation seen;
    std::lock_guard lock(impl_->mutex);
    seen.nowUs = impl_->clock();
    if (impl_->timeline) {
        WorldParts parts = impl_->worldParts(seen.nowUs);
        impl_->timeline->applyDue(parts, seen.nowUs);
        seen.timeline = true;
        seen.timelinePending = impl_->timeline->pending();
        const auto &applied = impl_->timeline->applied();
        seen.timelineApplied.assign(applied.begin(), applied.end());
    }
    AddDeviceViews(seen.devices, "i2c", impl_->adapter.i2cDevices(), seen.nowUs);
    AddDeviceViews(seen.devices, "spi", impl_->adapter.spiDevices(), seen.nowUs);
    AddExternalViews(seen.devices, impl_->externals);
    seen.trace = impl_->trace.last(traceLines);
    seen.pendingFaults = impl_->faults.plan().active();
    seen.pendingFaultCount = seen.pendingFaults.size();
    if (seen.pendingFaults.size() > maxFaults)
        seen.pendingFaults.resize(maxFaults);
    seen.calls = impl_->trace.recorded();
    seen.faultsInjected = impl_->faults.injected();
    seen.clients = impl_->sessions.count();
    if (impl_->unplugged(seen.nowUs))
        seen.unpluggedForUs = impl_->unpluggedUntilUs - seen.nowUs;
    return seen;
}

std::string Simulator::changeWorld(const nlohmann::json &request, uint64_t *atUs) {
    // Reading the change looks devices up: the maps never change, so no lock is needed.
    WorldChange change = WorldChangeFromJson(
        request, [this](bool spi, uint8_t where) { return ObservableAt(*this, spi, where); });
    std::lock_guard lock(impl_->mutex);
    uint64_t nowUs = impl_->clock();
    if (atUs != nullptr)
        *atUs = nowUs;
    WorldParts parts = impl_->worldParts(nowUs);
    return ApplyWorldChange(change, parts, nowUs, nowUs);
}

std::vector<uint8_t> Simulator::i2cAddresses() const {
    std::vector<uint8_t> addresses;
    for (const auto &[address, device] : impl_->adapter.i2cDevices())
        addresses.push_back(address);
    return addresses;
}

std::vector<uint8_t> Simulator::spiLines() const {
    std::vector<uint8_t> lines;
    for (const auto &[line, device] : impl_->adapter.spiDevices())
        lines.push_back(line);
    return lines;
}

std::string DescribeFault(const Fault &fault) {
    char where[32] = "";
    if (fault.target >= 0)
        std::snprintf(where, sizeof where, CallHasSsLine(fault.call) ? " on ss %d" : " at 0x%02x",
                      fault.target);
    std::string text = fault.call + where + ": " + FaultCodeName(fault.code);
    if (fault.nth != 0)
        text += ", call " + std::to_string(fault.nth);
    if (fault.count != 0)
        text +=
            ", at most " + std::to_string(fault.count) + (fault.count == 1 ? " call" : " calls");
    return text;
}

std::string DescribeDevices(const Simulator &simulator) {
    std::string text;
    auto add = [&](const char *bus, const std::vector<uint8_t> &places, bool spi) {
        std::string part;
        for (uint8_t where : places) {
            auto observable = ObservableAt(simulator, spi, where);
            char name[16];
            std::snprintf(name, sizeof name, spi ? "%u" : "0x%02x", where);
            part += (part.empty() ? std::string(bus) + " " : ", ") + name + " " +
                    (observable ? observable->modelName() : "device");
        }
        if (!part.empty())
            text += (text.empty() ? "" : "; ") + part;
    };
    add("i2c", simulator.i2cAddresses(), false);
    add("spi", simulator.spiLines(), true);
    return text.empty() ? "no devices" : text;
}

} // namespace dlnsim
