// The latency model a recording measured: its calls' recorded durations, as a scenario's
// adapter "latency" (dln-sim's scenario format), so the simulator takes as long as the robot.
#pragma once

#include "call_record.h"

#include <nlohmann/json.hpp>

#include <vector>

namespace dlnsim::replay {

// {"server": ..., "usb": ..., "calls": {"DlnI2cMasterRead": ...}}, each time the median and
// the 95th percentile of the calls of that kind ({"medianMs": 1.52, "p95Ms": 1.98}); the
// bus time is inside the recorded durations already. Null for a recording without calls.
nlohmann::json MeasuredLatency(const std::vector<dln::record::CallRecord> &recording);

} // namespace dlnsim::replay
