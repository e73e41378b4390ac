#include "dlnsim/recent_calls.h"

#include "dlnsim/bus_waveform.h"

namespace dlnsim {

void RecentCalls::add(const TraceEntry &call) {
    std::lock_guard lock(mutex_);
    calls_.push_back(call);
    while (calls_.size() > maxCalls_ ||
           (!calls_.empty() && calls_.front().timeUs + windowUs_ < call.timeUs))
        calls_.pop_front();
}

std::vector<TraceEntry> RecentCalls::calls() const {
    std::lock_guard lock(mutex_);
    return {calls_.begin(), calls_.end()};
}

void RecentCalls::draw(const AdapterConfig &adapter,
                       const std::function<void(std::string_view)> &sink) const {
    std::vector<TraceEntry> recent = calls();
    WaveformOptions options = BusWaveform::OptionsFor(adapter, "dln-sim's last calls");
    options.originUs = recent.empty() ? 0 : recent.front().timeUs;
    BusWaveform waveform(options, sink);
    for (const TraceEntry &call : recent)
        waveform.add(call);
}

} // namespace dlnsim
