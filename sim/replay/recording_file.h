// Reading a recording made by the recording adapter library: its header line, then one call a
// line (the format of dln/record/format/call_record.h).
#pragma once

#include "call_record.h"

#include <cstddef>
#include <functional>
#include <istream>
#include <stdexcept>
#include <string>
#include <vector>

namespace dlnsim::replay {

// Bounds on what is read, so that /dev/zero or a runaway file cannot fill memory: a recording
// of a whole working day stays far below both.
constexpr size_t kMaxRecordingBytes = size_t{64} << 20;
constexpr size_t kMaxLineBytes = size_t{1} << 20;

struct ReadOptions {
    // Lines worth a warning (a last line cut off, calls a server never sees), each naming
    // file and line; null: not collected.
    std::vector<std::string> *warnings = nullptr;
    // Asked every few thousand lines; true stops the reading with ReadCancelled.
    std::function<bool()> cancelled;
};

struct ReadCancelled : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// The calls of a recording, in the order of the file. Throws std::runtime_error naming the
// file, the line and the problem ("run.jsonl:12: DlnI2cMasterRead: \"buffer\" is missing").
// A last line cut off (the recording process killed while writing it) is left out with a
// warning; anything else broken is refused.
std::vector<dln::record::CallRecord> ReadRecording(std::istream &in, const std::string &name,
                                                   const ReadOptions &options = {});
std::vector<dln::record::CallRecord> ReadRecordingFile(const std::string &path,
                                                       const ReadOptions &options = {});

} // namespace dlnsim::replay
