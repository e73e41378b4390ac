#pragma once
// How late the serving thread wakes for a held reply. A timer's handler runs some tens of
// microseconds after its expiry (the thread must be woken and scheduled); over the nine held
// calls of a read that is a tenth of a 1 ms model. The server arms each timer that much early
// and waits out the rest itself, so a reply leaves at its model's time, never before.

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdint>
#include <thread>

namespace dlnsim {

class WakeLateness {
  public:
    using Clock = std::chrono::steady_clock;

    // How much sooner than due to arm a timer for a reply held heldUs.
    std::chrono::microseconds lead(uint32_t heldUs) const {
        return std::chrono::microseconds(std::min<int64_t>(estimateUs_, heldUs));
    }

    // Called by the timer's handler: learns how late it ran after armedFor, then waits until
    // due if it ran early of it. The wait is at most the lead, a few tens of microseconds.
    void arrived(Clock::time_point armedFor, Clock::time_point due) {
        auto now = Clock::now();
        record(std::chrono::duration_cast<std::chrono::microseconds>(now - armedFor).count());
        while (Clock::now() < due)
            std::this_thread::yield();
    }

  private:
    // The median of the last wakes: a descheduled moment of a busy machine moves it little,
    // so the wait above stays short.
    void record(int64_t lateUs) {
        recent_[next_] = std::clamp<int64_t>(lateUs, 0, kMostUs);
        next_ = (next_ + 1) % recent_.size();
        std::array<int64_t, kWakes> sorted = recent_;
        std::nth_element(sorted.begin(), sorted.begin() + kWakes / 2, sorted.end());
        estimateUs_ = sorted[kWakes / 2];
    }

    static constexpr size_t kWakes = 15;
    static constexpr int64_t kMostUs = 300; // beyond this a wake was descheduled, not late
    std::array<int64_t, kWakes> recent_{};
    size_t next_ = 0;
    int64_t estimateUs_ = 0;
};

} // namespace dlnsim
