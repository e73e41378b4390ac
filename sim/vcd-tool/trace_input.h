// The two inputs of dln-vcd, read as trace entries: dln-sim's trace lines (--trace) and the
// calls of a recording made on the robot by the recording dln.
#pragma once

#include "call_record.h"
#include "dlnsim/simulator.h"

#include <optional>
#include <string_view>

namespace dlnsim::vcd {

// A line as FormatTraceLine writes it; nullopt when it is not one. The mode and frequency
// calls' settings are read back from their notes ("mode 3", "actual 1000000 Hz", "400000 Hz").
std::optional<TraceEntry> ParseTraceLine(std::string_view line);

// A recorded call as the simulator would have traced it: a memory address is sent before the
// bytes of a write and before a read, as on the bus.
TraceEntry FromRecordedCall(const dln::record::CallRecord &call);

} // namespace dlnsim::vcd
