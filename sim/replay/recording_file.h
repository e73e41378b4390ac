// Reading a recording made by the recording adapter library: its header line, then one call a
// line (the format of dln/record/format/call_record.h).
#pragma once

#include "call_record.h"

#include <istream>
#include <string>
#include <vector>

namespace dlnsim::replay {

// The calls of a recording, in the order of the file. Throws std::runtime_error naming the
// file, the line and the problem ("run.jsonl:12: DlnI2cMasterRead: \"buffer\" is missing").
std::vector<dln::record::CallRecord> ReadRecording(std::istream &in, const std::string &name);
std::vector<dln::record::CallRecord> ReadRecordingFile(const std::string &path);

} // namespace dlnsim::replay
