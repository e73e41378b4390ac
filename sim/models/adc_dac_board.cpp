#include "dlnsim/models/adc_dac_board.h"
#include <cstdio>

namespace dlnsim {

AdcDacBoard::AdcDacBoard(const AdcDacBoardConfig &config)
    : inputs_(config.inputs), output_(config.output), outputLoopChannel_(config.outputLoopChannel) {
}

bool AdcDacBoard::write(std::span<const uint8_t> data, uint64_t) {
    if (data.empty())
        return true;
    const uint8_t control = data[0];
    channel_ = control & 0x03;
    outputEnabled_ = (control & kOutputEnable) != 0;
    // Further bytes are output values; the converter holds the last one.
    if (outputEnabled_ && data.size() > 1)
        output_ = data.back();
    return true;
}

bool AdcDacBoard::read(std::span<uint8_t> data, uint64_t) {
    for (uint8_t &byte : data) {
        byte = lastConversion_;
        const bool looped = outputEnabled_ && channel_ + 1 == outputLoopChannel_;
        lastConversion_ = looped ? output_ : inputs_[channel_];
    }
    return true;
}

std::string AdcDacBoard::decodeWrite(std::span<const uint8_t> data) const {
    if (data.empty())
        return {};
    char text[48];
    if (data.size() >= 2 && (data[0] & kOutputEnable))
        std::snprintf(text, sizeof text, "adc: channel %d, dac = %u", (data[0] & 3) + 1, data[1]);
    else
        std::snprintf(text, sizeof text, "adc: channel %d", (data[0] & 3) + 1);
    return text;
}

} // namespace dlnsim
