// One adapter call of a client session: fault injection, session, handle and port checks,
// then the session's own calls here and the adapter's in AdapterState. Runs under the
// simulator's lock.
#include "simulator_impl.h"

#include "external_call.h"

#include "dln_api.h"

#include <algorithm>
#include <condition_variable>
#include <cstdio>
#include <exception>
#include <string>
#include <utility>

namespace dlnsim {

using dln::wire::Call;
using dln::wire::Reply;
using dln::wire::Request;
using Draw = FaultInjection::Draw;

namespace {

// The calls without a port are those the DLN server answers without the adapter.
bool HasPort(Call call) {
    return !AnsweredByServer(call);
}

bool IsSpi(Call call) {
    return call >= Call::SpiGetPortCount;
}

bool NeedsHandle(Call call) {
    return call != Call::Connect && call != Call::Disconnect && call != Call::OpenDevice;
}

} // namespace

std::optional<Reply> Simulator::Impl::start(uint32_t session, const Request &request,
                                            uint64_t *heldUs, Done done) {
    std::unique_lock lock(mutex);
    CallRecord call{request, {}, {}};
    call.entry.timeUs = clock();
    if (timeline) {
        WorldParts parts = worldParts(call.entry.timeUs);
        timeline->applyDue(parts, call.entry.timeUs);
    }
    call.entry.call = dln::wire::CallName(request.call);
    if (HasPort(request.call))
        call.entry.port = request.port;
    call.reply.call = request.call;
    ExternalTransfer external;
    uint32_t result;
    try {
        result = run(session, call, &external);
    } catch (const std::exception &e) {
        // A model's fault fails this call; it must not take the server down with it.
        result = DLN_RES_FAIL;
        call.entry.note = std::string("device model error: ") + e.what();
    }
    if (result != kExternal)
        return conclude(call, static_cast<uint16_t>(result), heldUs);
    lock.unlock();
    // The provider is asked without the lock, so every other call goes on meanwhile.
    AskProvider(*this, std::make_shared<CallRecord>(std::move(call)), std::move(external),
                std::move(done));
    return std::nullopt;
}

Reply Simulator::Impl::dispatch(uint32_t session, const Request &request, uint64_t *heldUs) {
    // On the stack, not a promise: most calls end at once, and they should cost nothing more.
    std::mutex answeredMutex;
    std::condition_variable answeredChanged;
    std::optional<std::pair<Reply, uint64_t>> answered;
    auto reply = start(session, request, heldUs, [&](Reply reply, uint64_t held) {
        std::lock_guard lock(answeredMutex);
        answered.emplace(std::move(reply), held);
        answeredChanged.notify_one();
    });
    if (reply)
        return std::move(*reply);
    std::unique_lock lock(answeredMutex);
    answeredChanged.wait(lock, [&] { return answered.has_value(); });
    if (heldUs != nullptr)
        *heldUs = answered->second;
    return std::move(answered->first);
}

Reply Simulator::Impl::conclude(CallRecord &call, uint16_t result, uint64_t *heldUs) {
    Reply &reply = call.reply;
    TraceEntry &entry = call.entry;
    reply.result = result;
    if (call.draw == Draw::Flip && DLN_SUCCEEDED(reply.result)) {
        faults.flipRandomBit(reply.data, entry.note);
        entry.in = reply.data; // the trace shows what the client received
    }
    if (!DLN_SUCCEEDED(reply.result)) {
        // A failed call hands nothing back.
        reply.words.clear();
        reply.data.clear();
        entry.in.clear();
        entry.setting = -1;
    }
    entry.result = reply.result;
    if (!latency.model().none())
        entry.heldUs =
            latency.draw(call.request, adapter.config().i2cFrequency, adapter.spiFrequency());
    if (heldUs != nullptr)
        *heldUs = entry.heldUs;
    trace.record(std::move(entry));
    return std::move(reply);
}

WorldParts Simulator::Impl::worldParts(uint64_t nowUs) {
    return {faults.plan(), [this, nowUs](uint64_t forUs) { unplug(nowUs, forUs); },
            [this](std::vector<TimedChange> changes) {
                if (!timeline)
                    timeline = std::make_shared<Timeline>(std::vector<TimedChange>{});
                timeline->add(std::move(changes));
            }};
}

void Simulator::Impl::unplug(uint64_t nowUs, uint64_t forUs) {
    unpluggedUntilUs = std::max(unpluggedUntilUs, nowUs + forUs);
    sessions.closeAllHandles();
    adapter.powerOn();
}

uint32_t Simulator::Impl::run(uint32_t session, CallRecord &call, ExternalTransfer *external) {
    const Request &request = call.request;
    Reply &reply = call.reply;
    TraceEntry &entry = call.entry;
    Draw &draw = call.draw;
    adapter.describe(request, entry);
    // An unplugged adapter is gone from the server: only the server's own connection calls
    // still work, and its handles are gone for good.
    if (unplugged(entry.timeUs) && request.call != Call::Connect &&
        request.call != Call::Disconnect) {
        entry.out.clear();
        entry.note = "adapter unplugged";
        return DLN_RES_NO_SUCH_DEVICE;
    }
    int target = request.call == Call::SpiReadWrite
                     ? SelectedLine(static_cast<uint8_t>(entry.address))
                 : request.call == Call::I2cWrite || request.call == Call::I2cRead ? request.address
                                                                                   : -1;
    if (auto code = faults.setFaultFor(entry.call, target)) {
        // The adapter refused the call: nothing went on the bus.
        entry.out.clear();
        faults.countInjected();
        entry.note = "injected fault";
        return *code;
    }
    draw = faults.drawRandomFault(request.call);
    if (draw == Draw::Nack || draw == Draw::Fail) {
        entry.out.clear();
        faults.countInjected();
        entry.note = "random fault";
        return draw == Draw::Nack ? DLN_RES_I2C_NACK : DLN_RES_FAIL;
    }
    if (!sessions.isOpen(session))
        return DLN_RES_NOT_CONNECTED;
    if (NeedsHandle(request.call) && !sessions.owns(session, request.handle))
        return DLN_RES_INVALID_HANDLE;
    const AdapterConfig &config = adapter.config();
    if (HasPort(request.call) &&
        request.port >= (IsSpi(request.call) ? config.spiPortCount : config.i2cPortCount))
        return DLN_RES_INVALID_PORT;

    switch (request.call) {
    case Call::Connect:
    case Call::Disconnect:
        return DLN_RES_SUCCESS;
    case Call::OpenDevice: {
        if (request.value != 0)
            return DLN_RES_NO_SUCH_DEVICE; // adapter 0 is the only one
        uint16_t handle = sessions.openHandle(session);
        if (handle == 0)
            return DLN_RES_FAIL;
        reply.words = {handle};
        entry.note = "handle " + std::to_string(handle);
        return DLN_RES_SUCCESS;
    }
    case Call::CloseHandle:
        sessions.closeHandle(session, request.handle);
        return DLN_RES_SUCCESS;
    case Call::I2cScanDevices: {
        uint16_t result = adapter.answer(request, reply, entry);
        if (request.port == 0)
            AddExternalAddresses(externals, reply.data);
        entry.in = reply.data;
        return result;
    }
    default:
        if (auto result = externalTransfer(request, entry, external))
            return *result;
        return adapter.answer(request, reply, entry);
    }
}

} // namespace dlnsim
