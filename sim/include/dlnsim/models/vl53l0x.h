// The VL53L0X time-of-flight ranging sensor: the register core. A write transfer carries a
// register index and then data bytes for consecutive registers; a read transfer returns bytes
// from the last index on. Register 0xFF selects the page the other registers are on.
//
// This core knows paging, identification, the software reset and the stop variable. The
// sensor's other behaviour (non-volatile memory window, measurements, calibrations) is added
// by feature files that store power-on values and install hooks on registers of a page.
#pragma once

#include "dlnsim/device.h"

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <vector>

namespace dlnsim {

struct Vl53l0xIdentity {
    std::array<uint8_t, 4> id = {0xEE, 0xAA, 0x10, 0x99}; // registers 0xC0..0xC3, page 0
    uint8_t stopVariable = 0x3C;                          // register 0x91, page 1
};

class Vl53l0x : public I2cDevice {
  public:
    static constexpr uint8_t kRegPageSelect = 0xFF;
    static constexpr uint8_t kRegSoftReset = 0xBF;
    static constexpr uint8_t kRegIdentification = 0xC0;
    static constexpr uint8_t kRegStopVariable = 0x91;
    static constexpr uint8_t kRegInterruptStatus = 0x13; // bits 0-2 = 4: new sample ready
    static constexpr uint8_t kRegRangeStatus = 0x14;     // bit 0: result ready

    explicit Vl53l0x(const Vl53l0xIdentity &identity = {});

    bool write(std::span<const uint8_t> data, uint64_t nowUs) override;
    bool read(std::span<uint8_t> data, uint64_t nowUs) override;
    std::string decodeWrite(std::span<const uint8_t> data) const override;

    // The register store, without hooks. Pages not written yet read 0.
    uint8_t reg(uint8_t page, uint8_t index) const;
    void setReg(uint8_t page, uint8_t index, uint8_t value);
    // Sets the value a register has at power-on and after a reset (and now).
    void setPowerOn(uint8_t page, uint8_t index, uint8_t value);
    uint8_t page() const { return page_; }
    bool inReset() const { return inReset_; }

    // Called after the bus stored value in (page, index).
    using WriteHook = std::function<void(uint8_t value, uint64_t nowUs)>;
    // Gives the byte the bus reads from (page, index); stored is what the store holds.
    using ReadHook = std::function<uint8_t(uint8_t stored, uint64_t nowUs)>;
    // Called when the sensor leaves reset, after the store is back at its power-on values.
    using ResetHook = std::function<void()>;
    void onWrite(uint8_t page, uint8_t index, WriteHook hook);
    void onRead(uint8_t page, uint8_t index, ReadHook hook);
    void onReset(ResetHook hook);

  private:
    using Page = std::array<uint8_t, 256>;
    static uint16_t Key(uint8_t page, uint8_t index) {
        return static_cast<uint16_t>(page << 8 | index);
    }
    void writeRegister(uint8_t index, uint8_t value, uint64_t nowUs);
    uint8_t readRegister(uint8_t index, uint64_t nowUs);
    void leaveReset();

    std::map<uint8_t, Page> pages_;
    std::map<uint8_t, Page> powerOn_;
    std::map<uint16_t, std::vector<WriteHook>> writeHooks_;
    std::map<uint16_t, std::vector<ReadHook>> readHooks_;
    std::vector<ResetHook> resetHooks_;
    uint8_t page_ = 0;
    uint8_t index_ = 0; // where the next read starts
    bool inReset_ = false;
};

} // namespace dlnsim
