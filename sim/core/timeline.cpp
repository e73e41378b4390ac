#include "timeline.h"

#include "options.h"

#include <algorithm>
#include <cstdio>

namespace dlnsim {

namespace {
constexpr size_t kAppliedKept = 20;

// Sorted by time; events at the same time keep their order.
void SortByTime(std::vector<Timeline::Event> &events) {
    std::stable_sort(events.begin(), events.end(),
                     [](const auto &a, const auto &b) { return a.atUs < b.atUs; });
}

} // namespace

Timeline::Timeline(std::vector<Event> events) : events_(std::move(events)) {
    SortByTime(events_);
}

void Timeline::applyDue(WorldParts &parts, uint64_t nowUs) {
    while (next_ < events_.size() && events_[next_].atUs <= nowUs) {
        // Taken out first: applying it may add events (a series), which moves the others.
        Event event = std::move(events_[next_++]);
        char at[32];
        std::snprintf(at, sizeof at, "%.3f s: ", static_cast<double>(event.atUs) / 1e6);
        applied_.push_back(at + ApplyWorldChange(event.change, parts, nowUs, event.atUs));
        if (applied_.size() > kAppliedKept)
            applied_.pop_front();
    }
}

void Timeline::add(std::vector<Event> events) {
    // Applied events are dropped first, so a long series does not keep them all.
    events_.erase(events_.begin(), events_.begin() + static_cast<ptrdiff_t>(next_));
    next_ = 0;
    for (Event &event : events)
        events_.push_back(std::move(event));
    SortByTime(events_);
}

std::vector<Timeline::Event> TimelineFromJson(const nlohmann::json &list,
                                              const DeviceLookup &lookup,
                                              const std::string &csvDirectory) {
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
            events.push_back({static_cast<uint64_t>(at * 1e6),
                              WorldChangeFromJson(entry, lookup, {"at"}, csvDirectory)});
        } catch (const OptionError &e) {
            throw OptionError(e.key.empty() ? place : place + "." + e.key, e.what());
        }
    }
    return events;
}

} // namespace dlnsim
