// The simulator as the live page sees it: one snapshot of every device, the bus and the
// faults, and the world changes the page asks for. It sees the simulator's public face only
// (observation.h); the trace lines are formatted after the simulator's lock is released.
#pragma once

#include "dlnsim/simulator.h"

#include <nlohmann/json.hpp>

#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <utility>

namespace dlnsim {

class LiveState {
  public:
    explicit LiveState(std::shared_ptr<Simulator> simulator);

    // {"timeS", "adapter", "devices": [{"bus", "address", "model", "state", "settings"}],
    //  "bus": {"calls", "callsPerSecond", "clients", "faultsInjected", "pendingFaults",
    //          "pendingFaultCount", "trace"}, "changes": [...]}; lists newest first, pending
    //          faults as readable lines, at most 20. Thread-safe.
    nlohmann::json snapshot();
    // Applies a world change (see Simulator::changeWorld) now; returns what it did. Throws
    // OptionError naming the key when the change is refused (nothing is changed then).
    std::string change(const nlohmann::json &request);

  private:
    double callsPerSecond(uint64_t nowUs, uint64_t calls);
    void remember(const std::string &line);

    std::shared_ptr<Simulator> simulator_;
    std::mutex mutex_; // guards what follows, never held with the simulator's lock
    std::deque<std::pair<uint64_t, uint64_t>> samples_; // (time, calls) over the last seconds
    std::deque<std::string> changes_;                   // the last changes made, oldest first
};

} // namespace dlnsim
