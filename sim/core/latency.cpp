#include "dlnsim/latency.h"

#include <algorithm>
#include <cmath>

namespace dlnsim {

using dln::wire::Call;
using dln::wire::Request;

namespace {

// The 95th and 99.9th percentiles of the standard normal distribution.
constexpr double kZ95 = 1.6449;
constexpr double kZ999 = 3.0902;

// Scan probes of the usual 7-bit range 0x08..0x77: start, address, acknowledge, stop.
constexpr uint64_t kScanBits = 112 * 11;

} // namespace

bool LatencyModel::none() const {
    auto zero = [](const CallTime &time) { return time.medianUs == 0 && time.p95Us == 0; };
    return zero(server) && zero(usb) && !busTime &&
           std::all_of(calls.begin(), calls.end(),
                       [&](const std::optional<CallTime> &time) { return !time || zero(*time); });
}

LatencyModel RobotLatency() {
    LatencyModel model;
    // The DLN server on the robot's own computer: a loopback round trip and its bookkeeping.
    model.server = {100, 200};
    // A full-speed USB device is polled once a millisecond: a request and its reply wait for
    // the next frames, 1-2 ms a transaction.
    model.usb = {1500, 2000};
    model.busTime = true;
    return model;
}

std::optional<LatencyModel> LatencyPreset(const std::string &name) {
    if (name == "robot")
        return RobotLatency();
    if (name == "none")
        return LatencyModel{};
    return std::nullopt;
}

bool AnsweredByServer(Call call) {
    switch (call) {
    case Call::Connect:
    case Call::Disconnect:
    case Call::OpenDevice:
    case Call::CloseHandle:
    case Call::GetVersion:
    case Call::I2cGetPortCount:
    case Call::SpiGetPortCount:
        return true;
    default:
        return false;
    }
}

uint64_t BusBits(const Request &request) {
    switch (request.call) {
    case Call::I2cWrite:
        // Start, address, memory address and data bytes with their acknowledges, stop.
        return 2 + 9 * (1 + uint64_t{request.memoryAddressLength} + request.data.size());
    case Call::I2cRead:
        // A memory address is written first, then a repeated start addresses the device again.
        return 2 + 9 * (1 + uint64_t{request.length} +
                        (request.memoryAddressLength > 0 ? 1 + request.memoryAddressLength : 0));
    case Call::I2cScanDevices:
        return kScanBits;
    case Call::SpiReadWrite:
        return 8 * uint64_t{request.data.size()};
    default:
        return 0;
    }
}

LatencyClock::LatencyClock(LatencyModel model, uint64_t seed)
    : model_(std::move(model)), random_(seed) {}

uint64_t LatencyClock::draw(const Request &request, uint32_t i2cHz, uint32_t spiHz) {
    auto index = static_cast<size_t>(request.call);
    const std::optional<CallTime> &own =
        index < model_.calls.size() ? model_.calls[index] : std::nullopt;
    CallTime time = own ? *own : AnsweredByServer(request.call) ? model_.server : model_.usb;
    double us = time.medianUs;
    if (time.medianUs > 0 && time.p95Us > time.medianUs) {
        // Log-normal, as round-trip times are: the median and the 95th percentile as given,
        // the tail cut at the 99.9th percentile.
        double sigma = std::log(double(time.p95Us) / time.medianUs) / kZ95;
        std::lognormal_distribution<double> spread(std::log(double(time.medianUs)), sigma);
        us = std::min(spread(random_), time.medianUs * std::exp(sigma * kZ999));
    }
    if (model_.busTime) {
        uint32_t hz = request.call == Call::SpiReadWrite ? spiHz : i2cHz;
        if (hz > 0)
            us += double(BusBits(request)) * 1e6 / hz;
    }
    return static_cast<uint64_t>(std::llround(us));
}

} // namespace dlnsim
