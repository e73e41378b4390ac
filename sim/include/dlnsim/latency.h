// How long the simulated adapter takes to answer a call, as the robot's would: the calls the
// DLN server answers itself (connect, open, version, port counts) cost a local round trip,
// every other call a round trip over USB to the adapter, and a transfer may add its bits on
// the bus. The server holds each reply back for the time drawn here.
#pragma once

#include "wire.h"

#include <array>
#include <cstdint>
#include <optional>
#include <random>
#include <string>

namespace dlnsim {

// A call's time: its median and its 95th percentile, the spread of the jitter (equal: none).
struct CallTime {
    uint32_t medianUs = 0;
    uint32_t p95Us = 0;
    bool operator==(const CallTime &) const = default;
};

struct LatencyModel {
    CallTime server; // the calls the DLN server answers without the adapter
    CallTime usb;    // the calls that go to the adapter over USB
    // A time of their own for single calls (as measured from a recording), instead of the two.
    std::array<std::optional<CallTime>, dln::wire::kLastCall + 1> calls{};
    // Add the time a transfer's bits take on the bus at the adapter's frequencies.
    bool busTime = false;

    bool none() const; // every call answered at once
    bool operator==(const LatencyModel &) const = default;
};

// The figures of --latency robot (a full-speed USB adapter polled at 1 kHz) and none.
LatencyModel RobotLatency();
// The preset named name ("robot", "none"), or nothing for another name.
std::optional<LatencyModel> LatencyPreset(const std::string &name);

// Whether the DLN server answers call itself, without a USB round trip to the adapter.
bool AnsweredByServer(dln::wire::Call call);

// The bits a call puts on the bus: address and data bytes of an I2C transfer with their
// acknowledge bits, every address probed by a scan, the bytes of an SPI transfer; 0 for a call
// that transfers nothing.
uint64_t BusBits(const dln::wire::Request &request);

// Draws the time to hold each reply. Not thread-safe: the simulator's lock guards it.
class LatencyClock {
  public:
    explicit LatencyClock(LatencyModel model, uint64_t seed = 1);
    const LatencyModel &model() const { return model_; }
    // The time, in microseconds, to hold the reply to request; i2cHz and spiHz: the buses'
    // frequencies, for the bus time.
    uint64_t draw(const dln::wire::Request &request, uint32_t i2cHz, uint32_t spiHz);

  private:
    LatencyModel model_;
    std::mt19937_64 random_;
};

} // namespace dlnsim
