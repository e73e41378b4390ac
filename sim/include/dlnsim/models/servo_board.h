// A servo controller board. Every byte the master writes is taken one at a time and answered
// with a frame the next read transfer clocks out:
//   0xA3            answer the parameter in force; the next byte is the new parameter,
//                   answered with itself
//   0xA1            answer id; the next two bytes are the pulse width's MSB and LSB, each
//                   answered with itself; the board keeps the pulse width
//   0xA2            answer {id, current, pulse width MSB, pulse width LSB}
//   any other byte  answer 0xFF (not a command)
// A board keeps its place in a command however long the next byte takes: a master that gave
// up part-way (a failed exchange) has the first bytes of its next command taken as the rest
// of the old one, as nothing in the protocol marks where a command starts.
#pragma once

#include "dlnsim/device.h"
#include "dlnsim/models/observable_model.h"

#include <cstdint>
#include <string>
#include <vector>

namespace dlnsim {

struct ServoBoardConfig {
    uint8_t id = 0x51;          // answer to 0xA1 and byte 0 of the 0xA2 answer
    uint8_t current = 0x20;     // the current sensed, byte 1 of the 0xA2 answer
    uint8_t parameter = 0;      // parameter held at power-on
    uint16_t pulseWidth = 1500; // pulse width held at power-on, in microseconds
};

class ServoBoard : public I2cDevice, public ObservableModel {
  public:
    static constexpr uint8_t kSelectParameter = 0xA3;
    static constexpr uint8_t kSetPulseWidth = 0xA1;
    static constexpr uint8_t kReadCurrent = 0xA2;

    explicit ServoBoard(const ServoBoardConfig &config = {});

    bool write(std::span<const uint8_t> data, uint64_t nowUs) override;
    bool read(std::span<uint8_t> data, uint64_t nowUs) override;
    std::string decodeWrite(std::span<const uint8_t> data) const override;
    std::string modelName() const override { return "servo-board"; }
    nlohmann::json snapshot(uint64_t nowUs) const override;
    nlohmann::json settings() const override;
    void set(const std::string &name, const nlohmann::json &value, uint64_t nowUs) override;

    uint8_t parameter() const { return parameter_; }
    uint16_t pulseWidth() const { return pulseWidth_; }
    void setCurrent(uint8_t current) { config_.current = current; }

  private:
    enum class Expecting { Command, Parameter, PulseMsb, PulseLsb };
    void take(uint8_t byte);

    ServoBoardConfig config_;
    Expecting expecting_ = Expecting::Command;
    uint8_t parameter_;
    uint16_t pulseWidth_;
    uint8_t pendingMsb_ = 0;
    std::vector<uint8_t> answer_;
};

} // namespace dlnsim
