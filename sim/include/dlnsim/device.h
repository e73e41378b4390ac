// Device models on the simulated buses. A model answers in the byte protocol of the real
// device; it never prints library messages. Times are the simulator's clock in microseconds.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace dlnsim {

// A device on I2C port 0 at one 7-bit address. Each call is one whole transfer.
class I2cDevice {
  public:
    virtual ~I2cDevice() = default;
    // One write transfer to the device; false means the device did not acknowledge (NACK).
    virtual bool write(std::span<const uint8_t> data, uint64_t nowUs) = 0;
    // One read transfer filling data; false means NACK (the bytes are then ignored).
    virtual bool read(std::span<uint8_t> data, uint64_t nowUs) = 0;
    // A short human decoding of a write for the trace ("reg 0x91 = 0x3c"); empty if none.
    virtual std::string decodeWrite(std::span<const uint8_t> data) const {
        (void)data;
        return {};
    }
    // Called once when the simulator stops (a model may dump its memory then).
    virtual void finish() {}
};

// A device on SPI port 0 behind one slave-select line. Each call is one whole transfer with
// the line asserted for its duration; in receives exactly as many bytes as out sends.
class SpiDevice {
  public:
    virtual ~SpiDevice() = default;
    virtual void transfer(std::span<const uint8_t> out, std::span<uint8_t> in, uint64_t nowUs) = 0;
    virtual std::string decodeTransfer(std::span<const uint8_t> out) const {
        (void)out;
        return {};
    }
    virtual void finish() {}
};

} // namespace dlnsim
