// Records the library's waits instead of sleeping, for as long as an instance lives.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

class RecordedWaits {
  public:
    RecordedWaits();
    ~RecordedWaits();
    // The waits so far, in milliseconds, in order (a polling delay is 1).
    const std::vector<uint32_t> &waits() const;
    uint64_t totalMs() const;
    // Called on every wait, e.g. to advance a simulated clock.
    void onWait(std::function<void(uint32_t ms)> callback);
    void clear();
};
