#include "timeline.h"

#include "options.h"

#include <algorithm>
#include <cstdio>

namespace dlnsim {

namespace {
constexpr size_t kAppliedKept = 20;
} // namespace

Timeline::Timeline(std::vector<Event> events) : events_(std::move(events)) {
    std::stable_sort(events_.begin(), events_.end(),
                     [](const Event &a, const Event &b) { return a.atUs < b.atUs; });
}

void Timeline::applyDue(FaultPlan &faults, uint64_t nowUs) {
    for (; next_ < events_.size() && events_[next_].atUs <= nowUs; ++next_) {
        const Event &event = events_[next_];
        char at[32];
        std::snprintf(at, sizeof at, "%.3f s: ", static_cast<double>(event.atUs) / 1e6);
        applied_.push_back(at + ApplyWorldChange(event.change, faults, nowUs));
        if (applied_.size() > kAppliedKept)
            applied_.pop_front();
    }
}

std::vector<Timeline::Event> TimelineFromJson(const nlohmann::json &list,
                                              const DeviceLookup &lookup) {
    if (!list.is_array())
        throw OptionError("", "expected a list, found " + std::string(list.type_name()));
    std::vector<Timeline::Event> events;
    for (size_t i = 0; i < list.size(); ++i) {
        std::string place = std::to_string(i); // appended, not "[" + ...: see scenario.cpp
        place.insert(place.begin(), '[');
        place += ']';
        const nlohmann::json &entry = list[i];
        try {
            if (!entry.is_object() || !entry.contains("at"))
                throw OptionError("", "needs \"at\": seconds since the start");
            double at = NumberOption(entry, "at", 0);
            // A few centuries at most, so that the microseconds fit.
            if (at < 0 || at > 1e10)
                throw OptionError("at", entry.at("at").dump() + " is not from 0 to 1e10 seconds");
            events.push_back(
                {static_cast<uint64_t>(at * 1e6), WorldChangeFromJson(entry, lookup, {"at"})});
        } catch (const OptionError &e) {
            throw OptionError(e.key.empty() ? place : place + "." + e.key, e.what());
        }
    }
    return events;
}

} // namespace dlnsim
