#include "dlnsim/models/motor_board.h"
#include "options.h"

#include "reply_frame.h"
#include <cstdio>

namespace dlnsim {

MotorBoard::MotorBoard(const MotorBoardConfig &config)
    : config_(config), parameter_(config.parameter), answer_{0xFF} {}

void MotorBoard::take(uint8_t byte) {
    if (expectingParameter_) {
        parameter_ = byte;
        expectingParameter_ = false;
        answer_ = {byte, 0x00};
        return;
    }
    switch (byte) {
    case kSelect:
        expectingParameter_ = true;
        answer_ = {kSelect};
        break;
    case kReadSpeed:
        answer_ = {parameter_, config_.speed};
        break;
    default:
        answer_ = {0xFF};
        break;
    }
}

bool MotorBoard::write(std::span<const uint8_t> data, uint64_t) {
    for (uint8_t byte : data)
        take(byte);
    return true;
}

bool MotorBoard::read(std::span<uint8_t> data, uint64_t) {
    ClockOutFrame(answer_, data);
    return true;
}

std::string MotorBoard::decodeWrite(std::span<const uint8_t> data) const {
    if (data.size() != 1)
        return {};
    if (expectingParameter_) {
        char text[32];
        std::snprintf(text, sizeof text, "motor: parameter %u", data[0]);
        return text;
    }
    switch (data[0]) {
    case kSelect:
        return "motor: select";
    case kReadSpeed:
        return "motor: read speed";
    default:
        return "motor: not a command";
    }
}

nlohmann::json MotorBoard::snapshot(uint64_t) const {
    return {{"speed", config_.speed}, {"parameter", parameter_}};
}

nlohmann::json MotorBoard::settings() const {
    return {NumberSetting("speed", 0, 255, "")};
}

void MotorBoard::set(const std::string &name, const nlohmann::json &value, uint64_t nowUs) {
    if (name != "speed")
        return ObservableModel::set(name, value, nowUs);
    config_.speed = static_cast<uint8_t>(UnsignedValue(value, 0xFF, name));
}

} // namespace dlnsim
