// The answer a simple board keeps ready for the master: every read transfer clocks it out
// from its first byte; past its end the released bus reads 0xFF.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace dlnsim {

inline void ClockOutFrame(const std::vector<uint8_t> &frame, std::span<uint8_t> data) {
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = i < frame.size() ? frame[i] : 0xFF;
}

} // namespace dlnsim
