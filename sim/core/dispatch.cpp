// One adapter call of a client session: fault injection, session, handle and port checks,
// then the session's own calls here and the adapter's in AdapterState. Runs under the
// simulator's lock.
#include "simulator_impl.h"

#include "dln_api.h"

#include <cstdio>
#include <exception>
#include <string>

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

Reply Simulator::Impl::dispatch(uint32_t session, const Request &request, uint64_t *heldUs) {
    std::lock_guard lock(mutex);
    TraceEntry entry;
    entry.timeUs = clock();
    if (timeline)
        timeline->applyDue(faults.plan(), entry.timeUs);
    entry.call = dln::wire::CallName(request.call);
    if (HasPort(request.call))
        entry.port = request.port;
    Reply reply;
    reply.call = request.call;
    Draw draw = Draw::None;
    try {
        reply.result = run(session, request, reply, entry, draw);
    } catch (const std::exception &e) {
        // A model's fault fails this call; it must not take the server down with it.
        reply.result = DLN_RES_FAIL;
        entry.note = std::string("device model error: ") + e.what();
    }
    if (draw == Draw::Flip && DLN_SUCCEEDED(reply.result)) {
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
        entry.heldUs = latency.draw(request, adapter.config().i2cFrequency, adapter.spiFrequency());
    if (heldUs != nullptr)
        *heldUs = entry.heldUs;
    trace.record(std::move(entry));
    return reply;
}

uint16_t Simulator::Impl::run(uint32_t session, const Request &request, Reply &reply,
                              TraceEntry &entry, Draw &draw) {
    adapter.describe(request, entry);
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
    default:
        return adapter.answer(request, reply, entry);
    }
}

} // namespace dlnsim
