// The sizes of the frames one adapter call puts on the wire, worked out from its line in
// dln-sim's trace, so that a bare socket can repeat the same exchanges.
#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

struct FrameSizes {
    size_t request = 0; // whole frame, length prefix included
    size_t reply = 0;
};

// The frame sizes of the call a trace line shows; nullopt for a line that is not a call.
std::optional<FrameSizes> FrameSizesOfTraceLine(std::string_view line);
