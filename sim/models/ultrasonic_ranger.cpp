#include "dlnsim/models/ultrasonic_ranger.h"
#include "options.h"

#include "reply_frame.h"
#include <cstdio>

namespace dlnsim {

namespace {
std::vector<uint8_t> WithChecksum(uint8_t command, uint8_t first, uint8_t second) {
    return {command, first, second, static_cast<uint8_t>(command + first + second)};
}
} // namespace

UltrasonicRanger::UltrasonicRanger(const UltrasonicRangerConfig &config)
    : config_(config), answer_{0xFF} {}

bool UltrasonicRanger::write(std::span<const uint8_t> data, uint64_t nowUs) {
    const uint8_t low = static_cast<uint8_t>(config_.distanceCm & 0xFF);
    const uint8_t high = static_cast<uint8_t>(config_.distanceCm >> 8);
    readyAtUs_ = nowUs + uint64_t{config_.measureMs} * 1000;
    answer_ = {0xFF};
    if (data.size() != 2 || data[0] != data[1])
        return true;
    switch (data[0]) {
    case kTemperature:
        answer_ = {config_.temperature};
        break;
    case kRangeLowFirst:
        answer_ = WithChecksum(kRangeLowFirst, low, high);
        break;
    case kRangeHighFirst:
        answer_ = WithChecksum(kRangeHighFirst, high, low);
        break;
    default:
        break;
    }
    return true;
}

bool UltrasonicRanger::read(std::span<uint8_t> data, uint64_t nowUs) {
    if (nowUs < readyAtUs_) {
        ClockOutFrame({}, data);
        return true;
    }
    ClockOutFrame(answer_, data);
    return true;
}

std::string UltrasonicRanger::decodeWrite(std::span<const uint8_t> data) const {
    if (data.size() != 2 || data[0] != data[1])
        return "ultrasonic: not a command";
    switch (data[0]) {
    case kTemperature:
        return "ultrasonic: temperature";
    case kRangeLowFirst:
        return "ultrasonic: range, low byte first";
    case kRangeHighFirst:
        return "ultrasonic: range, high byte first";
    default:
        return "ultrasonic: not a command";
    }
}

nlohmann::json UltrasonicRanger::snapshot(uint64_t nowUs) const {
    return {{"distanceCm", config_.distanceCm},
            {"temperature", config_.temperature},
            {"measuring", nowUs < readyAtUs_}};
}

nlohmann::json UltrasonicRanger::settings() const {
    return {NumberSetting("distanceCm", 0, 1000, "cm"), NumberSetting("temperature", 0, 80, "°C")};
}

void UltrasonicRanger::set(const std::string &name, const nlohmann::json &value, uint64_t nowUs) {
    if (name == "distanceCm")
        config_.distanceCm = static_cast<uint16_t>(UnsignedValue(value, 0xFFFF, name));
    else if (name == "temperature")
        config_.temperature = static_cast<uint8_t>(UnsignedValue(value, 0xFF, name));
    else
        ObservableModel::set(name, value, nowUs);
}

} // namespace dlnsim
