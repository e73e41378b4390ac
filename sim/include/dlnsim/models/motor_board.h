// A motor speed board. Every byte written is taken one at a time and answered with a frame
// the next read clocks out:
//   0xC1            answer {0xC1}; the next byte is the parameter (which motor), answered
//                   with {parameter, 0x00}; the board keeps it
//   0xC0            answer {parameter, speed}
//   any other byte  answer 0xFF (not a command)
#pragma once

#include "dlnsim/device.h"
#include "dlnsim/models/observable_model.h"

#include <cstdint>
#include <string>
#include <vector>

namespace dlnsim {

struct MotorBoardConfig {
    uint8_t speed = 100;   // the speed measured, byte 1 of the 0xC0 answer
    uint8_t parameter = 0; // parameter held at power-on
};

class MotorBoard : public I2cDevice, public ObservableModel {
  public:
    static constexpr uint8_t kSelect = 0xC1;
    static constexpr uint8_t kReadSpeed = 0xC0;

    explicit MotorBoard(const MotorBoardConfig &config = {});

    bool write(std::span<const uint8_t> data, uint64_t nowUs) override;
    bool read(std::span<uint8_t> data, uint64_t nowUs) override;
    std::string decodeWrite(std::span<const uint8_t> data) const override;
    std::string modelName() const override { return "motor-board"; }
    nlohmann::json snapshot(uint64_t nowUs) const override;
    nlohmann::json settings() const override;
    void set(const std::string &name, const nlohmann::json &value, uint64_t nowUs) override;

    uint8_t parameter() const { return parameter_; }
    void setSpeed(uint8_t speed) { config_.speed = speed; }

  private:
    void take(uint8_t byte);

    MotorBoardConfig config_;
    bool expectingParameter_ = false;
    uint8_t parameter_;
    std::vector<uint8_t> answer_;
};

} // namespace dlnsim
