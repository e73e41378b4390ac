// The adapter behind the handles: its configuration, its SPI port's mode, frequency and
// slave select, and the devices its transfers reach. Not locked: the simulator's lock
// guards it.
#pragma once

#include "dlnsim/simulator.h"
#include "wire.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <vector>

namespace dlnsim {

class AdapterState {
  public:
    using I2cDevices = std::map<uint8_t, std::shared_ptr<I2cDevice>>;
    using SpiDevices = std::map<uint8_t, std::shared_ptr<SpiDevice>>;
    // clock gives the time devices see; it must outlive this.
    AdapterState(const AdapterConfig &config, I2cDevices i2c, SpiDevices spi,
                 const std::function<uint64_t()> &clock);

    const AdapterConfig &config() const { return config_; }
    uint32_t spiFrequency() const { return spiFrequency_; }      // as last set
    std::shared_ptr<I2cDevice> i2cDevice(uint8_t address) const; // null if none
    std::shared_ptr<SpiDevice> spiDevice(uint8_t ssLine) const;  // null if none
    const I2cDevices &i2cDevices() const { return i2c_; }
    const SpiDevices &spiDevices() const { return spi_; }

    // Fills in what the trace shows of request before it runs (the address or select mask,
    // the bytes sent), so that the trace shows them also when the call is refused.
    void describe(const dln::wire::Request &request, TraceEntry &entry) const;
    // Answers a call on an open handle and port (GetVersion and everything after it on the
    // wire): the adapter's settings, or a transfer on the bus. Returns the result code.
    uint16_t answer(const dln::wire::Request &request, dln::wire::Reply &reply, TraceEntry &entry);
    // The SPI port's mode, select and frequency as at power-on (after an unplug).
    void powerOn();
    // Calls finish() of every device.
    void finishDevices();

  private:
    uint16_t i2cWrite(const dln::wire::Request &request, TraceEntry &entry);
    uint16_t i2cRead(const dln::wire::Request &request, dln::wire::Reply &reply, TraceEntry &entry);
    uint16_t spiReadWrite(const dln::wire::Request &request, dln::wire::Reply &reply,
                          TraceEntry &entry);

    const AdapterConfig config_;
    const I2cDevices i2c_;
    const SpiDevices spi_;
    const std::function<uint64_t()> &clock_;
    uint8_t spiMode_ = 0;
    // Line 0 is selected from power-on, so a program that never sets the select (the EEPROM
    // programmer) reaches the device on line 0, as it does on the adapter.
    uint8_t ssMask_ = 0xFE;
    uint32_t spiFrequency_;
};

// The frequency a 48 MHz clock divided by an even divider gives: the largest not above
// requested, clamped to what the dividers reach.
uint32_t ActualSpiFrequency(uint32_t requested);
// Appends the memory address phase of a transfer to bytes, most significant first; false
// when its length is above 4.
bool MemoryAddressBytes(const dln::wire::Request &request, std::vector<uint8_t> &bytes);
// The slave-select line of an active-low mask: its lowest cleared bit; -1 when none is.
int SelectedLine(uint8_t mask);

} // namespace dlnsim
