#include "trace_recorder.h"

#include "dlnsim/trace.h"

namespace dlnsim {

TraceRecorder::TraceRecorder(std::FILE *file, size_t limit) : file_(file), limit_(limit) {}

TraceRecorder::~TraceRecorder() {
    if (file_ != nullptr)
        std::fclose(file_);
}

void TraceRecorder::addSink(std::function<void(const TraceEntry &)> sink) {
    sinks_.push_back(std::move(sink));
}

void TraceRecorder::record(TraceEntry entry) {
    for (auto &sink : sinks_)
        sink(entry);
    if (file_ != nullptr) {
        std::string line = FormatTraceLine(entry);
        line += '\n';
        std::fputs(line.c_str(), file_);
        // Readers (tests, a user's tail -f) see each call as soon as it happened.
        std::fflush(file_);
    }
    ++recorded_;
    entries_.push_back(std::move(entry));
    if (limit_ != 0 && entries_.size() > limit_)
        entries_.pop_front();
}

std::vector<TraceEntry> TraceRecorder::entries() const {
    return {entries_.begin(), entries_.end()};
}

std::vector<TraceEntry> TraceRecorder::last(size_t count) const {
    size_t from = entries_.size() > count ? entries_.size() - count : 0;
    return {entries_.begin() + static_cast<std::ptrdiff_t>(from), entries_.end()};
}

void TraceRecorder::clear() {
    entries_.clear();
}

void TraceRecorder::flush() {
    if (file_ != nullptr)
        std::fflush(file_);
}

} // namespace dlnsim
