// An ultrasonic ranging board. The master writes a command byte twice; the board then
// measures and answers the next read:
//   0xF1 0xF1  {temperature in degrees Celsius}
//   0xF4 0xF4  {0xF4, distance low byte, distance high byte, checksum}
//   0xF5 0xF5  {0xF5, distance high byte, distance low byte, checksum}
// The distance is in centimetres; the checksum is the sum of the three bytes before it.
// A read sooner than measureMs after the command finds the board busy: every byte 0xFF.
// Anything else written is answered with 0xFF.
#pragma once

#include "dlnsim/device.h"
#include "dlnsim/models/observable_model.h"

#include <cstdint>
#include <string>
#include <vector>

namespace dlnsim {

struct UltrasonicRangerConfig {
    uint8_t temperature = 22;
    uint16_t distanceCm = 0x0123;
    uint32_t measureMs = 0;
};

class UltrasonicRanger : public I2cDevice, public ObservableModel {
  public:
    static constexpr uint8_t kTemperature = 0xF1;
    static constexpr uint8_t kRangeLowFirst = 0xF4;
    static constexpr uint8_t kRangeHighFirst = 0xF5;

    explicit UltrasonicRanger(const UltrasonicRangerConfig &config = {});

    bool write(std::span<const uint8_t> data, uint64_t nowUs) override;
    bool read(std::span<uint8_t> data, uint64_t nowUs) override;
    std::string decodeWrite(std::span<const uint8_t> data) const override;
    std::string modelName() const override { return "ultrasonic-ranger"; }
    nlohmann::json snapshot(uint64_t nowUs) const override;
    nlohmann::json settings() const override;
    void set(const std::string &name, const nlohmann::json &value, uint64_t nowUs) override;

    void setDistanceCm(uint16_t distanceCm) { config_.distanceCm = distanceCm; }

  private:
    UltrasonicRangerConfig config_;
    std::vector<uint8_t> answer_;
    uint64_t readyAtUs_ = 0;
};

} // namespace dlnsim
