// Attaches a simulator to the in-process adapter library for the life of the session, so that
// the library's operations reach it exactly as they would reach dln-sim over TCP.
#pragma once

#include "dln_inproc.h"
#include "dlnsim/simulator.h"

#include <memory>
#include <string>
#include <vector>

class SimSession {
  public:
    explicit SimSession(dlnsim::SimBuilder builder) : sim_(builder.build()) {
        DlnInprocAttach(sim_);
    }
    ~SimSession() { DlnInprocDetach(); }
    SimSession(const SimSession &) = delete;
    SimSession &operator=(const SimSession &) = delete;

    dlnsim::Simulator &sim() { return *sim_; }
    // The names of the adapter calls the simulator saw, oldest first.
    std::vector<std::string> calls() const;
    // The bus transfers only, as support/transfer_lines.h writes them.
    std::vector<std::string> transfers() const;

  private:
    std::shared_ptr<dlnsim::Simulator> sim_;
};
