// The inside of the simulated adapter: its parts under one lock, and the dispatch of one
// request of a session to them. Sessions reach it through Session; tests use Simulator.
#pragma once

#include "adapter_state.h"
#include "dlnsim/simulator.h"
#include "external_devices.h"
#include "fault_injection.h"
#include "session_table.h"
#include "timeline.h"
#include "trace_recorder.h"
#include "wire.h"

#include <cstdio>
#include <functional>
#include <mutex>
#include <optional>

namespace dlnsim {

struct Simulator::Impl {
    Impl(const AdapterConfig &config, AdapterState::I2cDevices i2c, AdapterState::SpiDevices spi,
         std::vector<Fault> faults, const RandomFaults &randomFaults,
         std::function<uint64_t()> clock, std::FILE *traceFile, size_t traceLimit);

    uint32_t openSession();
    void closeSession(uint32_t session);
    // Runs one request of session and gives its reply. Every request is traced. heldUs, when
    // given, receives how long the latency model holds the reply back. Waits for an external
    // device's provider when the call goes to one.
    dln::wire::Reply dispatch(uint32_t session, const dln::wire::Request &request,
                              uint64_t *heldUs = nullptr);
    // The reply and how long it is held back.
    using Done = std::function<void(dln::wire::Reply reply, uint64_t heldUs)>;
    // The same without waiting: the reply when the call is done at once (and *heldUs set);
    // nothing when it went to an external device, whose provider's answer (or time-out)
    // later calls done with it, on another thread or before start returns.
    std::optional<dln::wire::Reply> start(uint32_t session, const dln::wire::Request &request,
                                          uint64_t *heldUs, Done done);
    void finish();
    // The parts a world change acts on, at nowUs; under the lock.
    WorldParts worldParts(uint64_t nowUs);
    // Unplugs the adapter from nowUs for forUs: its handles close, its settings return to
    // power-on, and every adapter call fails until then.
    void unplug(uint64_t nowUs, uint64_t forUs);
    bool unplugged(uint64_t nowUs) const { return nowUs < unpluggedUntilUs; }

    mutable std::mutex mutex; // every request runs under it
    const std::function<uint64_t()> clock;
    SessionTable sessions;
    FaultInjection faults;
    TraceRecorder trace;
    AdapterState adapter;
    LatencyClock latency;
    std::shared_ptr<Timeline> timeline; // set before the first client; may be null
    ExternalDevices externals;
    bool finished = false;
    uint64_t unpluggedUntilUs = 0;

    // A call on its way: what the trace and the reply will show.
    struct CallRecord {
        dln::wire::Request request;
        dln::wire::Reply reply;
        TraceEntry entry;
        FaultInjection::Draw draw = FaultInjection::Draw::None;
    };
    // Ends call with result under the lock: the faults' flipped bit, nothing handed back by a
    // failure, the latency drawn, the trace line. Returns the reply; sets *heldUs.
    dln::wire::Reply conclude(CallRecord &call, uint16_t result, uint64_t *heldUs);

  private:
    // What the call returns, or kExternal when it goes to the external device that it
    // leaves in *external.
    static constexpr uint32_t kExternal = 0x10000;
    uint32_t run(uint32_t session, CallRecord &call, ExternalTransfer *external);
    // A transfer of an external device: kExternal with *external filled in, a result when it
    // fails at once, or nothing when request goes to no external device.
    std::optional<uint32_t> externalTransfer(const dln::wire::Request &request, TraceEntry &entry,
                                             ExternalTransfer *external);
};

} // namespace dlnsim
