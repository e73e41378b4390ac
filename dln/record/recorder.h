// The recording file of this process: one line per call, whole, from any thread. Named by
// DLN_RECORD_FILE (default dln-recording.jsonl in the working folder), created or emptied at
// the first call. Lines are buffered and reach the file within a fifth of a second, and at
// exit; writing a line costs no system call.
#pragma once

#include "call_record.h"

#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>

namespace dln::record {

class Recorder {
  public:
    // The recorder of this process, opened at the first use; never destroyed.
    static Recorder &Instance();
    // Microseconds since the recorder opened.
    uint64_t nowUs() const;
    // Numbers record (seq, thread) and appends its line. Does nothing when the file could not
    // be opened (one message on standard error said so).
    void append(CallRecord &record);
    void flush();
    // The flush of the exit handler, which gives up rather than wait for ever.
    void flushAtExit();

  private:
    Recorder();
    void flushEverySoOften();

    std::mutex mutex_;
    std::FILE *file_ = nullptr;
    bool dirty_ = false;
    uint64_t lastSeq_ = 0;
    std::string line_;
};

} // namespace dln::record
