// What a simulator saw: one entry per adapter call, kept in memory (the newest ones when
// limited) and written as a trace line to a file as it happens. Not locked: the simulator's
// lock guards it.
#pragma once

#include "dlnsim/simulator.h"

#include <cstdio>
#include <deque>
#include <functional>
#include <vector>

namespace dlnsim {

class TraceRecorder {
  public:
    // Takes file (may be null) and closes it on destruction. limit 0 keeps every entry.
    TraceRecorder(std::FILE *file, size_t limit);
    ~TraceRecorder();
    TraceRecorder(const TraceRecorder &) = delete;
    TraceRecorder &operator=(const TraceRecorder &) = delete;

    // Each entry recorded from now on is also handed to sink, before it is kept.
    void addSink(std::function<void(const TraceEntry &)> sink);
    void record(TraceEntry entry);
    std::vector<TraceEntry> entries() const; // oldest first
    std::vector<TraceEntry> last(size_t count) const;
    uint64_t recorded() const { return recorded_; } // entries ever recorded
    void clear();
    void flush();

  private:
    std::FILE *file_;
    size_t limit_;
    std::deque<TraceEntry> entries_;
    std::vector<std::function<void(const TraceEntry &)>> sinks_;
    uint64_t recorded_ = 0;
};

} // namespace dlnsim
