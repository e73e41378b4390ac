// The inside of the simulated adapter: its parts under one lock, and the dispatch of one
// request of a session to them. Sessions reach it through Session; tests use Simulator.
#pragma once

#include "adapter_state.h"
#include "dlnsim/simulator.h"
#include "fault_injection.h"
#include "session_table.h"
#include "timeline.h"
#include "trace_recorder.h"
#include "wire.h"

#include <cstdio>
#include <functional>
#include <mutex>

namespace dlnsim {

struct Simulator::Impl {
    Impl(const AdapterConfig &config, AdapterState::I2cDevices i2c, AdapterState::SpiDevices spi,
         std::vector<Fault> faults, const RandomFaults &randomFaults,
         std::function<uint64_t()> clock, std::FILE *traceFile, size_t traceLimit);

    uint32_t openSession();
    void closeSession(uint32_t session);
    // Runs one request of session and gives its reply. Every request is traced. heldUs, when
    // given, receives how long the latency model holds the reply back.
    dln::wire::Reply dispatch(uint32_t session, const dln::wire::Request &request,
                              uint64_t *heldUs = nullptr);
    void finish();

    mutable std::mutex mutex; // every request runs under it
    const std::function<uint64_t()> clock;
    SessionTable sessions;
    FaultInjection faults;
    TraceRecorder trace;
    AdapterState adapter;
    LatencyClock latency;
    std::shared_ptr<Timeline> timeline; // set before the first client; may be null
    bool finished = false;

  private:
    uint16_t run(uint32_t session, const dln::wire::Request &request, dln::wire::Reply &reply,
                 TraceEntry &entry, FaultInjection::Draw &draw);
};

} // namespace dlnsim
