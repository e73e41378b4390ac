// The faults a simulator injects: set faults (a named call fails with a code, always or on its
// nth call) and random faults drawn from a seeded generator, so a run repeats by its seed.
// Not locked: the simulator's lock guards it.
#pragma once

#include "dlnsim/simulator.h"
#include "fault_plan.h"
#include "wire.h"

#include <cstdint>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <vector>

namespace dlnsim {

class FaultInjection {
  public:
    FaultInjection(std::vector<Fault> faults, const RandomFaults &random);

    // Counts one more call named call at target (its I2C address or selected slave-select
    // line; -1 for calls without one); the code of the set fault that fails it, if any.
    std::optional<uint16_t> setFaultFor(const std::string &call, int target);
    // The set faults still pending; the live page and timelines add and clear them.
    FaultPlan &plan() { return plan_; }

    // What a random draw decided for one call.
    enum class Draw { None, Nack, Fail, Flip };
    Draw drawRandomFault(dln::wire::Call call);
    // Flips one random bit of bytes (nothing when empty) and says so in note.
    void flipRandomBit(std::vector<uint8_t> &bytes, std::string &note);

    // Counts a call failed by an injected fault (set, or a random NACK or failure).
    void countInjected() { ++injected_; }
    // How many calls an injected fault has failed so far, flipped bits included.
    uint64_t injected() const { return injected_; }

  private:
    FaultPlan plan_;
    uint64_t injected_ = 0;
    RandomFaults random_;
    std::set<std::string> randomCalls_;
    std::mt19937_64 rng_;
};

} // namespace dlnsim
