#include "dlnsim/models/adc_dac_board.h"
#include "options.h"
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

nlohmann::json AdcDacBoard::snapshot(uint64_t) const {
    nlohmann::json state = {{"output", output_},
                            {"outputEnabled", outputEnabled_},
                            {"channel", channel_ + 1},
                            {"outputLoopChannel", outputLoopChannel_}};
    for (int channel = 0; channel < 4; ++channel)
        state["input" + std::to_string(channel + 1)] = inputs_[channel];
    return state;
}

nlohmann::json AdcDacBoard::settings() const {
    return {NumberSetting("input1", 0, 255, ""), NumberSetting("input2", 0, 255, ""),
            NumberSetting("input3", 0, 255, ""), NumberSetting("input4", 0, 255, "")};
}

void AdcDacBoard::set(const std::string &name, const nlohmann::json &value, uint64_t nowUs) {
    if (name.size() != 6 || name.rfind("input", 0) != 0 || name[5] < '1' || name[5] > '4')
        return ObservableModel::set(name, value, nowUs);
    inputs_[name[5] - '1'] = static_cast<uint8_t>(UnsignedValue(value, 0xFF, name));
}

} // namespace dlnsim
