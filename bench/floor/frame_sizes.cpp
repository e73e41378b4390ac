#include "frame_sizes.h"

#include "wire.h"

#include <string>

namespace {

using dln::wire::Call;

// The 32-bit words a successful reply of call carries.
size_t ReplyWords(Call call) {
    switch (call) {
    case Call::GetVersion:
        return 5;
    case Call::OpenDevice:
    case Call::I2cGetPortCount:
    case Call::I2cGetFrequency:
    case Call::I2cEnable:
    case Call::SpiGetPortCount:
    case Call::SpiGetFrequency:
    case Call::SpiEnable:
    case Call::SpiGetMode:
    case Call::SpiSetFrequency:
        return 1;
    default:
        return 0;
    }
}

// The number of bytes in "label=[00 11 22]"; 0 when the line has no such field.
size_t ByteCount(std::string_view line, std::string_view label) {
    size_t at = line.find(std::string(" ") + std::string(label) + "=[");
    if (at == std::string_view::npos)
        return 0;
    size_t open = at + label.size() + 3;
    size_t close = line.find(']', open);
    if (close == std::string_view::npos || close == open)
        return 0;
    return (close - open + 1) / 3; // "xx" plus a space for each but the last
}

} // namespace

std::optional<FrameSizes> FrameSizesOfTraceLine(std::string_view line) {
    // The device model's note (after " ; ") is free text: leave it out of the search.
    line = line.substr(0, line.find(" ; "));
    size_t nameStart = line.find(' ');
    if (nameStart == std::string_view::npos)
        return std::nullopt;
    std::string_view rest = line.substr(nameStart + 1);
    auto call = dln::wire::CallByName(rest.substr(0, rest.find(' ')));
    if (!call)
        return std::nullopt;
    size_t result = rest.find(" result=0x");
    if (result == std::string_view::npos)
        return std::nullopt;
    // A failed call (0x40 and above) hands nothing back.
    bool succeeded = std::stoul(std::string(rest.substr(result + 10, 4)), nullptr, 16) < 0x40;
    FrameSizes sizes;
    size_t sent =
        *call == Call::I2cWrite || *call == Call::SpiReadWrite ? ByteCount(rest, "out") : 0;
    sizes.request = dln::wire::kLengthPrefix + dln::wire::kRequestHeader + sent;
    sizes.reply = dln::wire::kLengthPrefix + dln::wire::kReplyHeader;
    if (succeeded)
        sizes.reply += 4 * ReplyWords(*call) + ByteCount(rest, "in");
    return sizes;
}
