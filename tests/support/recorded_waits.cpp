#include "support/recorded_waits.h"

#include "platform/wait.h"

namespace {
std::vector<uint32_t> g_waits;
std::function<void(uint32_t)> g_callback;

void Record(uint32_t ms) {
    g_waits.push_back(ms);
    if (g_callback)
        g_callback(ms);
}
} // namespace

RecordedWaits::RecordedWaits() {
    g_waits.clear();
    g_callback = nullptr;
    PlatformSetWaitHook(Record);
}

RecordedWaits::~RecordedWaits() {
    PlatformSetWaitHook(nullptr);
    g_callback = nullptr;
}

const std::vector<uint32_t> &RecordedWaits::waits() const {
    return g_waits;
}

uint64_t RecordedWaits::totalMs() const {
    uint64_t total = 0;
    for (uint32_t ms : g_waits)
        total += ms;
    return total;
}

void RecordedWaits::onWait(std::function<void(uint32_t)> callback) {
    g_callback = std::move(callback);
}

void RecordedWaits::clear() {
    g_waits.clear();
}
