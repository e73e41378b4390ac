// The live page's last minute: bounded by time and by count, drawn from its first call.
#include "dlnsim/recent_calls.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

dlnsim::TraceEntry Connect(uint64_t timeUs) {
    dlnsim::TraceEntry call;
    call.timeUs = timeUs;
    call.call = "DlnConnect";
    return call;
}

std::vector<uint64_t> Times(const dlnsim::RecentCalls &recent) {
    std::vector<uint64_t> times;
    for (const dlnsim::TraceEntry &call : recent.calls())
        times.push_back(call.timeUs);
    return times;
}

TEST(RecentCallsTest, KeepsTheWindowBeforeTheNewestCallAndAtMostTheCount) {
    dlnsim::RecentCalls recent(1000, 3);
    for (uint64_t time : {0, 500, 1200})
        recent.add(Connect(time));
    EXPECT_EQ(Times(recent), (std::vector<uint64_t>{500, 1200})); // 0 is over 1000 us old
    recent.add(Connect(1300));
    recent.add(Connect(1400));
    EXPECT_EQ(Times(recent), (std::vector<uint64_t>{1200, 1300, 1400})); // three at most

    std::string vcd;
    recent.draw(dlnsim::AdapterConfig{}, [&vcd](std::string_view text) { vcd += text; });
    EXPECT_NE(vcd.find("time 0 is 1200 us into it"), std::string::npos);
    EXPECT_NE(vcd.find("#10000\nsDlnConnect_result=0x00 "), std::string::npos);
    EXPECT_NE(vcd.find("#200000\nsDlnConnect_result=0x00 "), std::string::npos);
}

} // namespace
