#include "adc_dac_board.h"

namespace dlnsim {

AdcDacBoard::AdcDacBoard(const AdcDacBoardConfig &config)
    : inputs_(config.inputs), output_(config.output) {}

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
        lastConversion_ = inputs_[channel_];
    }
    return true;
}

} // namespace dlnsim
