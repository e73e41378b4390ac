// An ADC/DAC board with four analogue inputs and one analogue output, in the manner of the
// common 8-bit converters. A write carries a control byte (bits 0-1 select the input channel,
// bit 6 enables the output) and, while the output is enabled, the output value. Every byte a
// read clocks out is the conversion made before it, and the selected channel is converted
// anew; so the first byte after a channel change still belongs to the previous conversion.
#pragma once

#include "dlnsim/device.h"
#include "dlnsim/models/observable_model.h"

#include <array>
#include <cstdint>
#include <string>

namespace dlnsim {

struct AdcDacBoardConfig {
    std::array<uint8_t, 4> inputs = {0x10, 0x20, 0x30, 0x40}; // channel 1 to 4
    uint8_t output = 0;                                       // output value at power-on
    // The input (1 to 4) wired to the analogue output, as on a test loop; 0 for none. While
    // the output is enabled that channel converts the output value.
    int outputLoopChannel = 0;
};

class AdcDacBoard : public I2cDevice, public ObservableModel {
  public:
    static constexpr uint8_t kOutputEnable = 0x40;
    static constexpr uint8_t kPowerOnConversion = 0x80;

    explicit AdcDacBoard(const AdcDacBoardConfig &config = {});

    bool write(std::span<const uint8_t> data, uint64_t nowUs) override;
    bool read(std::span<uint8_t> data, uint64_t nowUs) override;
    std::string decodeWrite(std::span<const uint8_t> data) const override;
    std::string modelName() const override { return "adc-dac-board"; }
    nlohmann::json snapshot(uint64_t nowUs) const override;
    nlohmann::json settings() const override;
    void set(const std::string &name, const nlohmann::json &value, uint64_t nowUs) override;

    uint8_t output() const { return output_; }
    bool outputEnabled() const { return outputEnabled_; }
    void setInput(int channel, uint8_t value) { inputs_.at(channel) = value; }

  private:
    std::array<uint8_t, 4> inputs_;
    uint8_t output_;
    bool outputEnabled_ = false;
    int channel_ = 0;
    int outputLoopChannel_;
    uint8_t lastConversion_ = kPowerOnConversion;
};

} // namespace dlnsim
