// A ranging sensor on a simulated adapter, reached in-process: the adapter is connected and
// opened, and device is a fresh record addressing 0x29 through its handle. The adapter is
// closed and disconnected on destruction.
#pragma once

#include "dlnsim/simulator.h"
#include "ranging/device/ranging_device.h"
#include "support/sim_session.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

class SensorBus {
  public:
    // sensor sits at 0x29; faults are injected from the start. clock, when given, replaces
    // the simulator's steady clock.
    explicit SensorBus(std::shared_ptr<dlnsim::I2cDevice> sensor,
                       std::vector<dlnsim::Fault> faults = {},
                       std::function<uint64_t()> clock = nullptr);
    ~SensorBus();
    SensorBus(const SensorBus &) = delete;
    SensorBus &operator=(const SensorBus &) = delete;

    dlnsim::Simulator &sim() { return session_->sim(); }
    // The transfers to 0x29 since the start or the last clear(), as support/transfer_lines.h
    // writes them: "W 29: 44 01 23", "R 29: 0a".
    std::vector<std::string> transfers() const;
    void clear() { sim().clearTrace(); }

    RangingDevice device;

  private:
    std::unique_ptr<SimSession> session_;
};

// The transfers to 0x29 in sim's trace, formatted as SensorBus::transfers() does.
std::vector<std::string> SensorTransfers(const dlnsim::Simulator &sim);
