// How the client contract tests reach a simulator through our dln: each test program links
// one backend (in-process, or the simulator's TCP server), so that one suite checks both.
#pragma once

#include "dlnsim/simulator.h"

#include <cstdint>
#include <memory>

class ClientBackend {
  public:
    virtual ~ClientBackend() = default;
    // Makes sim reachable at host():port() until stop() or destruction.
    virtual void serve(std::shared_ptr<dlnsim::Simulator> sim) = 0;
    // Makes nothing reachable there any more.
    virtual void stop() = 0;
    virtual const char *host() const = 0;
    // Another name of the same server: DlnConnect counts it as a second connection.
    virtual const char *otherHost() const = 0;
    virtual uint16_t port() const = 0;
};

// The backend of this test program.
std::unique_ptr<ClientBackend> MakeClientBackend();
