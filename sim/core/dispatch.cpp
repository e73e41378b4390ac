// One adapter call of a client session: fault injection, handle and port checks, then the
// adapter's answer or the transfer on the bus. Runs under the simulator's lock.
#include "simulator_impl.h"

#include "dln_api.h"

#include <cstdio>
#include <exception>
#include <string>

namespace dlnsim {

using dln::wire::Call;
using dln::wire::Reply;
using dln::wire::Request;

namespace {

constexpr uint32_t kSpiClockHz = 48000000;
constexpr uint32_t kSpiMinDivider = 2;
constexpr uint32_t kSpiMaxDivider = 65534;

bool HasPort(Call call) {
    switch (call) {
    case Call::Connect:
    case Call::Disconnect:
    case Call::OpenDevice:
    case Call::CloseHandle:
    case Call::GetVersion:
    case Call::I2cGetPortCount:
    case Call::SpiGetPortCount:
        return false;
    default:
        return true;
    }
}

bool IsSpi(Call call) {
    return call >= Call::SpiGetPortCount;
}

bool NeedsHandle(Call call) {
    return call != Call::Connect && call != Call::Disconnect && call != Call::OpenDevice;
}

std::string Format(const char *format, unsigned long value) {
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

} // namespace

uint32_t ActualSpiFrequency(uint32_t requested) {
    if (requested == 0)
        return kSpiClockHz / kSpiMaxDivider;
    uint64_t divider = (uint64_t{kSpiClockHz} + requested - 1) / requested;
    divider += divider % 2; // even dividers only; rounding up keeps the result <= requested
    if (divider < kSpiMinDivider)
        divider = kSpiMinDivider;
    if (divider > kSpiMaxDivider)
        divider = kSpiMaxDivider;
    return static_cast<uint32_t>(kSpiClockHz / divider);
}

int SelectedLine(uint8_t mask) {
    for (int line = 0; line < 8; ++line)
        if ((mask & (1u << line)) == 0)
            return line;
    return -1;
}

Reply Simulator::Impl::dispatch(uint32_t session, const Request &request) {
    std::lock_guard lock(mutex);
    TraceEntry entry;
    entry.timeUs = now();
    if (timeline)
        timeline->applyDue(faults, entry.timeUs);
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
        flipRandomBit(reply.data, entry);
        entry.in = reply.data; // the trace shows what the client received
    }
    if (!DLN_SUCCEEDED(reply.result)) {
        // A failed call hands nothing back.
        reply.words.clear();
        reply.data.clear();
        entry.in.clear();
    }
    entry.result = reply.result;
    record(std::move(entry));
    return reply;
}

uint16_t Simulator::Impl::run(uint32_t session, const Request &request, Reply &reply,
                              TraceEntry &entry, Draw &draw) {
    // What the trace shows of the request, also when it fails.
    switch (request.call) {
    case Call::I2cWrite:
    case Call::I2cRead:
        entry.address = request.address;
        break;
    case Call::SpiSetSS:
        entry.address = request.address;
        break;
    case Call::SpiReadWrite:
        entry.address = ssMask_;
        break;
    default:
        break;
    }
    if (request.call == Call::I2cWrite || request.call == Call::SpiReadWrite)
        entry.out = request.data;

    int target = request.call == Call::SpiReadWrite ? SelectedLine(ssMask_)
                 : request.call == Call::I2cWrite || request.call == Call::I2cRead ? request.address
                                                                                   : -1;
    if (auto code = faults.match(entry.call, target)) {
        // The adapter refused the call: nothing went on the bus.
        entry.out.clear();
        ++injected_;
        entry.note = "injected fault";
        return *code;
    }
    draw = drawRandomFault(request.call);
    if (draw == Draw::Nack || draw == Draw::Fail) {
        entry.out.clear();
        ++injected_;
        entry.note = "random fault";
        return draw == Draw::Nack ? DLN_RES_I2C_NACK : DLN_RES_FAIL;
    }
    auto sessionIt = sessions_.find(session);
    if (sessionIt == sessions_.end())
        return DLN_RES_NOT_CONNECTED;
    if (NeedsHandle(request.call) && sessionIt->second.count(request.handle) == 0)
        return DLN_RES_INVALID_HANDLE;
    if (HasPort(request.call) &&
        request.port >= (IsSpi(request.call) ? config.spiPortCount : config.i2cPortCount))
        return DLN_RES_INVALID_PORT;

    switch (request.call) {
    case Call::Connect:
    case Call::Disconnect:
        return DLN_RES_SUCCESS;
    case Call::OpenDevice:
        return openDevice(session, request.value, reply, entry);
    case Call::CloseHandle:
        sessionIt->second.erase(request.handle);
        handles_.erase(request.handle);
        return DLN_RES_SUCCESS;
    case Call::GetVersion:
        reply.words = {config.hardwareType, config.hardwareVersion, config.firmwareVersion,
                       config.serverVersion, config.libraryVersion};
        return DLN_RES_SUCCESS;
    case Call::I2cGetPortCount:
        reply.words = {config.i2cPortCount};
        return DLN_RES_SUCCESS;
    case Call::I2cGetFrequency:
        reply.words = {config.i2cFrequency};
        return DLN_RES_SUCCESS;
    case Call::I2cEnable:
    case Call::SpiEnable:
        reply.words = {0}; // no pin conflict
        return DLN_RES_SUCCESS;
    case Call::I2cScanDevices:
        if (request.port == 0)
            for (auto &[address, device] : i2c)
                reply.data.push_back(address);
        entry.in = reply.data;
        return DLN_RES_SUCCESS;
    case Call::I2cWrite:
        return i2cWrite(request, entry);
    case Call::I2cRead:
        return i2cRead(request, reply, entry);
    case Call::SpiGetPortCount:
        reply.words = {config.spiPortCount};
        return DLN_RES_SUCCESS;
    case Call::SpiGetFrequency:
        reply.words = {spiFrequency_};
        return DLN_RES_SUCCESS;
    case Call::SpiSetMode:
        if (request.address > 3)
            return DLN_RES_INVALID_ARGUMENT; // CPOL and CPHA are the only mode bits
        spiMode_ = request.address;
        entry.note = Format("mode %lu", spiMode_);
        return DLN_RES_SUCCESS;
    case Call::SpiGetMode:
        reply.words = {spiMode_};
        entry.note = Format("mode %lu", spiMode_);
        return DLN_RES_SUCCESS;
    case Call::SpiSetFrequency:
        spiFrequency_ = ActualSpiFrequency(request.value);
        reply.words = {spiFrequency_};
        entry.note =
            Format("requested %lu Hz", request.value) + Format(", actual %lu Hz", spiFrequency_);
        return DLN_RES_SUCCESS;
    case Call::SpiSetSS:
        ssMask_ = request.address;
        return DLN_RES_SUCCESS;
    case Call::SpiReadWrite:
        return spiReadWrite(request, reply, entry);
    }
    return DLN_RES_FAIL;
}

uint16_t Simulator::Impl::openDevice(uint32_t session, uint32_t number, Reply &reply,
                                     TraceEntry &entry) {
    if (number != 0)
        return DLN_RES_NO_SUCH_DEVICE; // adapter 0 is the only one
    if (handles_.size() >= 0xFFFF)
        return DLN_RES_FAIL;
    do
        ++lastHandle_;
    while (lastHandle_ == 0 || handles_.count(lastHandle_) != 0);
    handles_.insert(lastHandle_);
    sessions_[session].insert(lastHandle_);
    reply.words = {lastHandle_};
    entry.note = Format("handle %lu", lastHandle_);
    return DLN_RES_SUCCESS;
}

// The memory address phase of a transfer: its bytes, most significant first.
static bool MemoryAddressBytes(const Request &request, std::vector<uint8_t> &bytes) {
    if (request.memoryAddressLength > 4)
        return false;
    for (int i = request.memoryAddressLength - 1; i >= 0; --i)
        bytes.push_back(static_cast<uint8_t>(request.memoryAddress >> (8 * i)));
    return true;
}

uint16_t Simulator::Impl::i2cWrite(const Request &request, TraceEntry &entry) {
    std::vector<uint8_t> bytes;
    if (request.address > 0x7F || request.data.size() != request.length ||
        !MemoryAddressBytes(request, bytes))
        return DLN_RES_INVALID_ARGUMENT;
    bytes.insert(bytes.end(), request.data.begin(), request.data.end());
    entry.out = bytes;
    auto it = request.port == 0 ? i2c.find(request.address) : i2c.end();
    if (it == i2c.end())
        return DLN_RES_I2C_NACK;
    entry.note = it->second->decodeWrite(bytes);
    return it->second->write(bytes, now()) ? DLN_RES_SUCCESS : DLN_RES_I2C_NACK;
}

uint16_t Simulator::Impl::i2cRead(const Request &request, Reply &reply, TraceEntry &entry) {
    std::vector<uint8_t> address;
    if (request.address > 0x7F || !request.data.empty() || !MemoryAddressBytes(request, address))
        return DLN_RES_INVALID_ARGUMENT;
    entry.out = address;
    auto it = request.port == 0 ? i2c.find(request.address) : i2c.end();
    if (it == i2c.end())
        return DLN_RES_I2C_NACK;
    I2cDevice &device = *it->second;
    // A memory address goes out as a write before the read, as a repeated start would.
    if (!address.empty()) {
        entry.note = device.decodeWrite(address);
        if (!device.write(address, now()))
            return DLN_RES_I2C_NACK;
    }
    reply.data.assign(request.length, 0);
    if (!device.read(reply.data, now()))
        return DLN_RES_I2C_NACK;
    entry.in = reply.data;
    return DLN_RES_SUCCESS;
}

uint16_t Simulator::Impl::spiReadWrite(const Request &request, Reply &reply, TraceEntry &entry) {
    if (request.data.size() != request.length)
        return DLN_RES_INVALID_ARGUMENT;
    reply.data.assign(request.length, 0xFF); // an idle MISO line reads ones
    int line = SelectedLine(ssMask_);
    auto it = line < 0 ? spi.end() : spi.find(static_cast<uint8_t>(line));
    if (it != spi.end()) {
        entry.note = it->second->decodeTransfer(request.data);
        it->second->transfer(request.data, reply.data, now());
    }
    entry.in = reply.data;
    return DLN_RES_SUCCESS;
}

} // namespace dlnsim
