// The faults injected by name: which calls they fail, how many they have failed, and the
// faults added or cleared while the simulator runs. Used under the simulator's lock.
#pragma once

#include "dlnsim/simulator.h"

#include <optional>
#include <string>
#include <vector>

namespace dlnsim {

class FaultPlan {
  public:
    explicit FaultPlan(std::vector<Fault> faults = {});
    // The code to fail this call with, if a fault hits it. target is the call's I2C address
    // or selected slave-select line (-1 for calls without one). Every fault the call matches
    // counts it, so nth means the nth matching call whichever fault fires.
    std::optional<uint16_t> match(const std::string &call, int target);
    void add(const Fault &fault);
    void clear();
    // The faults that can still fire, in the order they were added.
    std::vector<Fault> active() const;

  private:
    struct Entry {
        Fault fault;
        uint32_t seen = 0;   // matching calls so far
        uint32_t failed = 0; // calls this fault failed
    };
    static bool Spent(const Entry &entry);
    std::vector<Entry> entries_;
};

// The failure codes a fault may name ("nack", "fail", "timeout", ...).
std::optional<uint16_t> FaultCodeByName(const std::string &name);
// The name of a failure code ("nack"), or its number in hex ("0x4f").
std::string FaultCodeName(uint16_t code);
// Their names, for an error message listing them.
std::string FaultCodeNames();
// Whether a fault on call can be aimed at an I2C address or at a slave-select line.
bool CallHasAddress(const std::string &call);
bool CallHasSsLine(const std::string &call);

} // namespace dlnsim
