#include "dlnsim/models/servo_board.h"
#include "options.h"

#include "reply_frame.h"
#include <cstdio>

namespace dlnsim {

ServoBoard::ServoBoard(const ServoBoardConfig &config)
    : config_(config), parameter_(config.parameter),
      pulseWidth_(config.pulseWidth), answer_{config.id} {}

void ServoBoard::take(uint8_t byte) {
    switch (expecting_) {
    case Expecting::Parameter:
        parameter_ = byte;
        expecting_ = Expecting::Command;
        answer_ = {byte};
        return;
    case Expecting::PulseMsb:
        pendingMsb_ = byte;
        expecting_ = Expecting::PulseLsb;
        answer_ = {byte};
        return;
    case Expecting::PulseLsb:
        pulseWidth_ = static_cast<uint16_t>(pendingMsb_ << 8 | byte);
        expecting_ = Expecting::Command;
        answer_ = {byte};
        return;
    case Expecting::Command:
        break;
    }
    switch (byte) {
    case kSelectParameter:
        expecting_ = Expecting::Parameter;
        answer_ = {parameter_};
        break;
    case kSetPulseWidth:
        expecting_ = Expecting::PulseMsb;
        answer_ = {config_.id};
        break;
    case kReadCurrent:
        answer_ = {config_.id, config_.current, static_cast<uint8_t>(pulseWidth_ >> 8),
                   static_cast<uint8_t>(pulseWidth_ & 0xFF)};
        break;
    default:
        answer_ = {0xFF};
        break;
    }
}

bool ServoBoard::write(std::span<const uint8_t> data, uint64_t) {
    for (uint8_t byte : data)
        take(byte);
    return true;
}

bool ServoBoard::read(std::span<uint8_t> data, uint64_t) {
    ClockOutFrame(answer_, data);
    return true;
}

// The board takes its bytes one at a time, so a byte means what the board's state makes of it.
std::string ServoBoard::decodeWrite(std::span<const uint8_t> data) const {
    if (data.size() != 1)
        return {};
    char text[48];
    switch (expecting_) {
    case Expecting::Parameter:
        std::snprintf(text, sizeof text, "servo parameter %u", data[0]);
        return text;
    case Expecting::PulseMsb:
        std::snprintf(text, sizeof text, "servo pulse width MSB 0x%02x", data[0]);
        return text;
    case Expecting::PulseLsb:
        std::snprintf(text, sizeof text, "servo pulse width %u us",
                      static_cast<unsigned>(pendingMsb_ << 8 | data[0]));
        return text;
    case Expecting::Command:
        break;
    }
    switch (data[0]) {
    case kSelectParameter:
        return "servo: select parameter";
    case kSetPulseWidth:
        return "servo: set pulse width";
    case kReadCurrent:
        return "servo: read current";
    default:
        return "servo: not a command";
    }
}

nlohmann::json ServoBoard::snapshot(uint64_t) const {
    return {{"id", config_.id},
            {"current", config_.current},
            {"parameter", parameter_},
            {"pulseWidthUs", pulseWidth_}};
}

nlohmann::json ServoBoard::settings() const {
    return {NumberSetting("current", 0, 255, "")};
}

void ServoBoard::set(const std::string &name, const nlohmann::json &value, uint64_t nowUs) {
    if (name != "current")
        return ObservableModel::set(name, value, nowUs);
    config_.current = static_cast<uint8_t>(UnsignedValue(value, 0xFF, name));
}

} // namespace dlnsim
