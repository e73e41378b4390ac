#include "adapter_state.h"

#include "dln_api.h"

#include <cstdio>
#include <string>
#include <vector>

namespace dlnsim {

using dln::wire::Call;
using dln::wire::Reply;
using dln::wire::Request;

namespace {

constexpr uint32_t kSpiClockHz = 48000000;
constexpr uint32_t kSpiMinDivider = 2;
constexpr uint32_t kSpiMaxDivider = 65534;

std::string Format(const char *format, unsigned long value) {
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

} // namespace

bool MemoryAddressBytes(const Request &request, std::vector<uint8_t> &bytes) {
    if (request.memoryAddressLength > 4)
        return false;
    for (int i = request.memoryAddressLength - 1; i >= 0; --i)
        bytes.push_back(static_cast<uint8_t>(request.memoryAddress >> (8 * i)));
    return true;
}

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

AdapterState::AdapterState(const AdapterConfig &config, I2cDevices i2c, SpiDevices spi,
                           const std::function<uint64_t()> &clock)
    : config_(config), i2c_(std::move(i2c)), spi_(std::move(spi)), clock_(clock),
      spiFrequency_(config.spiFrequency) {}

std::shared_ptr<I2cDevice> AdapterState::i2cDevice(uint8_t address) const {
    auto it = i2c_.find(address);
    return it == i2c_.end() ? nullptr : it->second;
}

std::shared_ptr<SpiDevice> AdapterState::spiDevice(uint8_t ssLine) const {
    auto it = spi_.find(ssLine);
    return it == spi_.end() ? nullptr : it->second;
}

void AdapterState::powerOn() {
    spiMode_ = 0;
    ssMask_ = 0xFE;
    spiFrequency_ = config_.spiFrequency;
}

void AdapterState::finishDevices() {
    for (auto &[address, device] : i2c_)
        device->finish();
    for (auto &[line, device] : spi_)
        device->finish();
}

void AdapterState::describe(const Request &request, TraceEntry &entry) const {
    switch (request.call) {
    case Call::I2cWrite:
    case Call::I2cRead:
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
}

uint16_t AdapterState::answer(const Request &request, Reply &reply, TraceEntry &entry) {
    switch (request.call) {
    case Call::GetVersion:
        reply.words = {config_.hardwareType, config_.hardwareVersion, config_.firmwareVersion,
                       config_.serverVersion, config_.libraryVersion};
        return DLN_RES_SUCCESS;
    case Call::I2cGetPortCount:
        reply.words = {config_.i2cPortCount};
        return DLN_RES_SUCCESS;
    case Call::I2cGetFrequency:
        reply.words = {config_.i2cFrequency};
        entry.setting = config_.i2cFrequency;
        entry.note = Format("%lu Hz", config_.i2cFrequency);
        return DLN_RES_SUCCESS;
    case Call::I2cEnable:
    case Call::SpiEnable:
        reply.words = {0}; // no pin conflict
        return DLN_RES_SUCCESS;
    case Call::I2cScanDevices:
        if (request.port == 0)
            for (auto &[address, device] : i2c_)
                reply.data.push_back(address);
        entry.in = reply.data;
        return DLN_RES_SUCCESS;
    case Call::I2cWrite:
        return i2cWrite(request, entry);
    case Call::I2cRead:
        return i2cRead(request, reply, entry);
    case Call::SpiGetPortCount:
        reply.words = {config_.spiPortCount};
        return DLN_RES_SUCCESS;
    case Call::SpiGetFrequency:
        reply.words = {spiFrequency_};
        entry.setting = spiFrequency_;
        entry.note = Format("%lu Hz", spiFrequency_);
        return DLN_RES_SUCCESS;
    case Call::SpiSetMode:
        if (request.address > 3)
            return DLN_RES_INVALID_ARGUMENT; // CPOL and CPHA are the only mode bits
        spiMode_ = request.address;
        entry.setting = spiMode_;
        entry.note = Format("mode %lu", spiMode_);
        return DLN_RES_SUCCESS;
    case Call::SpiGetMode:
        reply.words = {spiMode_};
        entry.setting = spiMode_;
        entry.note = Format("mode %lu", spiMode_);
        return DLN_RES_SUCCESS;
    case Call::SpiSetFrequency:
        spiFrequency_ = ActualSpiFrequency(request.value);
        reply.words = {spiFrequency_};
        entry.setting = spiFrequency_;
        entry.note =
            Format("requested %lu Hz", request.value) + Format(", actual %lu Hz", spiFrequency_);
        return DLN_RES_SUCCESS;
    case Call::SpiSetSS:
        ssMask_ = request.address;
        return DLN_RES_SUCCESS;
    case Call::SpiReadWrite:
        return spiReadWrite(request, reply, entry);
    default:
        return DLN_RES_FAIL; // the session's own calls never come here
    }
}

uint16_t AdapterState::i2cWrite(const Request &request, TraceEntry &entry) {
    std::vector<uint8_t> bytes;
    if (request.address > 0x7F || request.data.size() != request.length ||
        !MemoryAddressBytes(request, bytes))
        return DLN_RES_INVALID_ARGUMENT;
    bytes.insert(bytes.end(), request.data.begin(), request.data.end());
    entry.out = bytes;
    auto it = request.port == 0 ? i2c_.find(request.address) : i2c_.end();
    if (it == i2c_.end())
        return DLN_RES_I2C_NACK;
    entry.note = it->second->decodeWrite(bytes);
    return it->second->write(bytes, clock_()) ? DLN_RES_SUCCESS : DLN_RES_I2C_NACK;
}

uint16_t AdapterState::i2cRead(const Request &request, Reply &reply, TraceEntry &entry) {
    std::vector<uint8_t> address;
    if (request.address > 0x7F || !request.data.empty() || !MemoryAddressBytes(request, address))
        return DLN_RES_INVALID_ARGUMENT;
    entry.out = address;
    auto it = request.port == 0 ? i2c_.find(request.address) : i2c_.end();
    if (it == i2c_.end())
        return DLN_RES_I2C_NACK;
    I2cDevice &device = *it->second;
    // A memory address goes out as a write before the read, as a repeated start would.
    if (!address.empty()) {
        entry.note = device.decodeWrite(address);
        if (!device.write(address, clock_()))
            return DLN_RES_I2C_NACK;
    }
    reply.data.assign(request.length, 0);
    if (!device.read(reply.data, clock_()))
        return DLN_RES_I2C_NACK;
    entry.in = reply.data;
    return DLN_RES_SUCCESS;
}

uint16_t AdapterState::spiReadWrite(const Request &request, Reply &reply, TraceEntry &entry) {
    if (request.data.size() != request.length)
        return DLN_RES_INVALID_ARGUMENT;
    reply.data.assign(request.length, 0xFF); // an idle MISO line reads ones
    int line = SelectedLine(ssMask_);
    auto it = line < 0 ? spi_.end() : spi_.find(static_cast<uint8_t>(line));
    if (it != spi_.end()) {
        entry.note = it->second->decodeTransfer(request.data);
        it->second->transfer(request.data, reply.data, clock_());
    }
    entry.in = reply.data;
    return DLN_RES_SUCCESS;
}

} // namespace dlnsim
