// The calls of the last minute (or another window), kept for drawing them on request: the
// live page's waveform download. Bounded both by time and by count, so a busy bus cannot
// grow it without end. Thread-safe: the simulator adds under its lock, the page reads.
#pragma once

#include "dlnsim/simulator.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string_view>
#include <vector>

namespace dlnsim {

class RecentCalls {
  public:
    RecentCalls(uint64_t windowUs, size_t maxCalls) : windowUs_(windowUs), maxCalls_(maxCalls) {}

    void add(const TraceEntry &call);
    // The calls kept, oldest first: those of the window before the newest one.
    std::vector<TraceEntry> calls() const;
    // Those calls drawn as a Value Change Dump into sink, piece by piece, time 0 at the first
    // of them.
    void draw(const AdapterConfig &adapter,
              const std::function<void(std::string_view)> &sink) const;

  private:
    uint64_t windowUs_;
    size_t maxCalls_;
    mutable std::mutex mutex_;
    std::deque<TraceEntry> calls_;
};

} // namespace dlnsim
