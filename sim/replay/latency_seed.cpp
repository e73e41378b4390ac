#include "latency_seed.h"

#include "dlnsim/latency.h"

#include <algorithm>
#include <cmath>
#include <map>

namespace dlnsim::replay {

using dln::record::CallRecord;
using nlohmann::json;

namespace {

// The nearest-rank percentile of durations, which it sorts.
uint64_t Percentile(std::vector<uint64_t> &durations, double percent) {
    std::sort(durations.begin(), durations.end());
    auto rank = static_cast<size_t>(std::ceil(percent / 100 * double(durations.size())));
    return durations[std::clamp<size_t>(rank, 1, durations.size()) - 1];
}

json CallTimeJson(std::vector<uint64_t> durations) {
    // Milliseconds to the microsecond, as the recording has them.
    auto ms = [](uint64_t us) { return double(us) / 1000; };
    uint64_t median = Percentile(durations, 50);
    uint64_t p95 = Percentile(durations, 95);
    return {{"medianMs", ms(median)}, {"p95Ms", ms(std::max(median, p95))}};
}

} // namespace

json MeasuredLatency(const std::vector<CallRecord> &recording) {
    std::vector<uint64_t> server, usb;
    std::map<std::string, std::vector<uint64_t>> byCall;
    for (const CallRecord &call : recording) {
        (AnsweredByServer(call.request.call) ? server : usb).push_back(call.durationUs);
        byCall[dln::wire::CallName(call.request.call)].push_back(call.durationUs);
    }
    if (byCall.empty())
        return nullptr;
    json latency = json::object();
    if (!server.empty())
        latency["server"] = CallTimeJson(server);
    if (!usb.empty())
        latency["usb"] = CallTimeJson(usb);
    latency["busTime"] = false;
    latency["calls"] = json::object();
    for (auto &[name, durations] : byCall)
        latency["calls"][name] = CallTimeJson(durations);
    return latency;
}

} // namespace dlnsim::replay
