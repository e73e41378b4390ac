// Runs library code against an in-process simulator and shows its I2C traffic the way a logic
// analyser would: one line per transfer (as support/transfer_lines.h writes them) and per wait
// ("wait 100", a wait of the library, recorded instead of slept), in the order they happened.
#pragma once

#include "dlnsim/simulator.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

struct BusRun {
    std::vector<std::string> bus;          // I2C transfers and waits, in order
    std::vector<dlnsim::TraceEntry> trace; // every adapter call
    std::string out;                       // what was printed on standard output
};

// Attaches sim for the duration of action, records the waits and captures standard output.
BusRun RunOnBus(const std::shared_ptr<dlnsim::Simulator> &sim, const std::function<void()> &action);

// What an operation printed after its connection reported "I2C Enabled".
std::string AfterEnabled(const std::string &out);
