// A generic I2C device with 256 byte registers, as many simple chips and EEPROMs have. The
// first byte of a write sets the address pointer and further bytes store at consecutive
// registers; a read returns consecutive registers from the pointer. The pointer advances
// with every byte and wraps from 0xFF to 0x00.
#pragma once

#include "dlnsim/device.h"
#include "dlnsim/models/observable_model.h"

#include <nlohmann/json.hpp>

#include <array>
#include <memory>

namespace dlnsim {

class RegisterDevice : public I2cDevice, public ObservableModel {
  public:
    RegisterDevice() { registers_.fill(0); }
    bool write(std::span<const uint8_t> data, uint64_t nowUs) override;
    bool read(std::span<uint8_t> data, uint64_t nowUs) override;
    std::string decodeWrite(std::span<const uint8_t> data) const override;
    std::string modelName() const override { return "register"; }
    nlohmann::json snapshot(uint64_t nowUs) const override;
    nlohmann::json settings() const override;
    void set(const std::string &name, const nlohmann::json &value, uint64_t nowUs) override;

    uint8_t reg(uint8_t index) const { return registers_[index]; }
    void setReg(uint8_t index, uint8_t value) { registers_[index] = value; }
    uint8_t pointer() const { return pointer_; }

  private:
    std::array<uint8_t, 256> registers_;
    uint8_t pointer_ = 0;
};

// Options: "fill" (every register's initial value, default 0) and "registers" (an object of
// register index to initial value, e.g. {"0x10": "0x3c"}).
std::shared_ptr<I2cDevice> MakeRegisterDevice(const nlohmann::json &options);

} // namespace dlnsim
