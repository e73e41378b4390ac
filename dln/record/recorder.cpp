#include "recorder.h"

#include "target.h"

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <system_error>
#include <thread>

namespace dln::record {

namespace {

using Clock = std::chrono::steady_clock;

const Clock::time_point gStart = Clock::now();

uint32_t ThisThread() {
    static std::atomic<uint32_t> lastThread{0};
    thread_local uint32_t id = ++lastThread;
    return id;
}

void FlushAtExit() {
    Recorder::Instance().flushAtExit();
}

} // namespace

Recorder &Recorder::Instance() {
    // Never destroyed: the flushing thread and calls made during exit may still use it.
    static Recorder *recorder = new Recorder;
    return *recorder;
}

Recorder::Recorder() {
    const char *named = std::getenv("DLN_RECORD_FILE");
    std::string path = named != nullptr && named[0] != '\0' ? named : "dln-recording.jsonl";
    file_ = std::fopen(path.c_str(), "wb");
    if (file_ == nullptr) {
        std::fprintf(stderr,
                     "dln record: cannot create the recording file '%s'; calls are "
                     "forwarded but not recorded\n",
                     path.c_str());
        std::fflush(stderr);
        return;
    }
    std::setvbuf(file_, nullptr, _IOFBF, 1 << 16);
    const Target *target = TheTarget();
    std::string header = HeaderLine(target != nullptr ? target->path : "(not loaded)");
    std::fwrite(header.data(), 1, header.size(), file_);
    std::fflush(file_);
    line_.reserve(1024);
    std::atexit(FlushAtExit);
    try {
        std::thread([this] { flushEverySoOften(); }).detach();
    } catch (const std::system_error &) {
        // Without the thread lines still reach the file when the buffer fills and at exit.
    }
}

uint64_t Recorder::nowUs() const {
    return static_cast<uint64_t>(
        std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - gStart).count());
}

void Recorder::append(CallRecord &record) {
    if (file_ == nullptr)
        return;
    record.thread = ThisThread();
    std::lock_guard lock(mutex_);
    record.seq = ++lastSeq_;
    line_.clear();
    AppendLine(record, line_);
    std::fwrite(line_.data(), 1, line_.size(), file_);
    dirty_ = true;
}

void Recorder::flush() {
    std::lock_guard lock(mutex_);
    if (file_ != nullptr && dirty_)
        std::fflush(file_);
    dirty_ = false;
}

void Recorder::flushAtExit() {
    // On Windows the other threads are gone by now, possibly one that held the lock: waiting
    // for it would hang the exit, so after half a second the buffer is given up.
    for (int tries = 0; tries < 500; ++tries) {
        std::unique_lock lock(mutex_, std::try_to_lock);
        if (lock.owns_lock()) {
            if (file_ != nullptr)
                std::fflush(file_);
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

void Recorder::flushEverySoOften() {
    for (;;) {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        flush();
    }
}

} // namespace dln::record
