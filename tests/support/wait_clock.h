// A simulated clock that stands still except for the library's waits: each recorded wait
// advances it by its length, so a simulated measurement completes after as many 1 ms polling
// delays as it lasts, and no test sleeps.
#pragma once

#include "support/recorded_waits.h"

#include <cstdint>
#include <functional>

class WaitClock {
  public:
    WaitClock() {
        waits_.onWait([this](uint32_t ms) { nowUs_ += static_cast<uint64_t>(ms) * 1000; });
    }
    WaitClock(const WaitClock &) = delete;
    WaitClock &operator=(const WaitClock &) = delete;

    // For SimBuilder::clock; valid while this clock lives.
    std::function<uint64_t()> source() {
        return [this] { return nowUs_; };
    }
    uint64_t nowUs() const { return nowUs_; }
    void advanceUs(uint64_t us) { nowUs_ += us; }
    RecordedWaits &waits() { return waits_; }

  private:
    uint64_t nowUs_ = 0;
    RecordedWaits waits_;
};
