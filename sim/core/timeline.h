// A scenario's timeline: world changes at set times since the simulator started, applied
// before the first call at or after their time (and before a live snapshot), so that a
// program sees the world change between two of its calls, as it would on the robot.
//
//   "timeline": [
//     {"at": 2.5, "i2c": "0x29", "set": {"distanceMm": 300}},
//     {"at": 5, "fault": {"call": "DlnI2cMasterRead", "address": "0x70", "code": "nack",
//                         "count": 1}},
//     {"at": 9, "clearFaults": true},
//     {"at": 12, "unplug": {"forS": 2}}
//   ]
#pragma once

#include "world_change.h"

#include <deque>
#include <string>
#include <vector>

namespace dlnsim {

class Timeline {
  public:
    using Event = TimedChange;
    // Sorted by time; events at the same time keep their order.
    explicit Timeline(std::vector<Event> events);
    // Adds events to those pending (a CSV series' values), in time order.
    void add(std::vector<Event> events);
    // Applies every event due at nowUs not applied yet. Runs under the simulator's lock.
    void applyDue(WorldParts &parts, uint64_t nowUs);
    size_t pending() const { return events_.size() - next_; }
    // What the last events did ("2.500 s: i2c 0x29 distanceMm = 300"), oldest first.
    const std::deque<std::string> &applied() const { return applied_; }

  private:
    std::vector<Event> events_;
    size_t next_ = 0;
    std::deque<std::string> applied_;
};

// Reads a timeline list, its CSV files relative to csvDirectory; throws OptionError naming
// the place ("[2].set.distanceMm").
std::vector<Timeline::Event> TimelineFromJson(const nlohmann::json &list,
                                              const DeviceLookup &lookup,
                                              const std::string &csvDirectory = "");

} // namespace dlnsim
