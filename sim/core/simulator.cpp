// The simulator's construction, its sessions, and the face tests use. The calls themselves
// are in dispatch.cpp.
#include "simulator_impl.h"

#include "dlnsim/models/observable_model.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <stdexcept>

namespace dlnsim {

SimBuilder &SimBuilder::adapter(const AdapterConfig &config) {
    config_ = config;
    return *this;
}

SimBuilder &SimBuilder::latency(const LatencyModel &model) {
    latency_ = model;
    return *this;
}

SimBuilder &SimBuilder::i2c(uint8_t address, std::shared_ptr<I2cDevice> device) {
    i2c_[address] = std::move(device);
    return *this;
}

SimBuilder &SimBuilder::spi(uint8_t ssLine, std::shared_ptr<SpiDevice> device) {
    spi_[ssLine] = std::move(device);
    return *this;
}

SimBuilder &SimBuilder::external(ExternalPlace place, const std::string &name, uint32_t timeoutMs) {
    externals_.push_back({place, name, timeoutMs});
    return *this;
}

SimBuilder &SimBuilder::fault(const Fault &fault) {
    faults_.push_back(fault);
    return *this;
}

SimBuilder &SimBuilder::randomFaults(const RandomFaults &faults) {
    randomFaults_ = faults;
    return *this;
}

SimBuilder &SimBuilder::timeline(std::shared_ptr<Timeline> timeline) {
    timeline_ = std::move(timeline);
    return *this;
}

SimBuilder &SimBuilder::clock(std::function<uint64_t()> nowUs) {
    clock_ = std::move(nowUs);
    return *this;
}

SimBuilder &SimBuilder::traceFile(const std::string &path) {
    traceFile_ = path;
    return *this;
}

SimBuilder &SimBuilder::traceLimit(size_t count) {
    traceLimit_ = count;
    return *this;
}

SimBuilder &SimBuilder::traceSink(std::function<void(const TraceEntry &)> sink) {
    traceSinks_.push_back(std::move(sink));
    return *this;
}

std::shared_ptr<Simulator> SimBuilder::build() {
    std::FILE *file = nullptr;
    if (!traceFile_.empty()) {
        file = std::fopen(traceFile_.c_str(), "w");
        if (file == nullptr)
            throw std::runtime_error("cannot create trace file " + traceFile_ + ": " +
                                     std::strerror(errno));
    }
    auto clock = clock_;
    if (!clock) {
        auto start = std::chrono::steady_clock::now();
        clock = [start] {
            return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::microseconds>(
                                             std::chrono::steady_clock::now() - start)
                                             .count());
        };
    }
    // Devices without a model (null) are left off the bus rather than crashing a call.
    AdapterState::I2cDevices i2c;
    for (auto &[address, device] : i2c_)
        if (device && address < 0x80)
            i2c[address] = device;
    AdapterState::SpiDevices spi;
    for (auto &[line, device] : spi_)
        if (device && line < 8)
            spi[line] = device;
    AdapterConfig config = config_;
    if (latency_)
        config.latency = *latency_;
    auto impl =
        std::make_unique<Simulator::Impl>(config, std::move(i2c), std::move(spi), faults_,
                                          randomFaults_, std::move(clock), file, traceLimit_);
    impl->timeline = timeline_;
    for (const ExternalDeclaration &declared : externals_)
        impl->externals.declare(declared.place, declared.name, declared.timeoutMs);
    for (auto &sink : traceSinks_)
        impl->trace.addSink(sink);
    return std::make_shared<Simulator>(std::move(impl));
}

Simulator::Impl::Impl(const AdapterConfig &config, AdapterState::I2cDevices i2c,
                      AdapterState::SpiDevices spi, std::vector<Fault> faults,
                      const RandomFaults &randomFaults, std::function<uint64_t()> clock,
                      std::FILE *traceFile, size_t traceLimit)
    : clock(std::move(clock)), faults(std::move(faults), randomFaults),
      trace(traceFile, traceLimit), adapter(config, std::move(i2c), std::move(spi), this->clock),
      latency(config.latency) {}

uint32_t Simulator::Impl::openSession() {
    std::lock_guard lock(mutex);
    return sessions.open();
}

void Simulator::Impl::closeSession(uint32_t session) {
    std::lock_guard lock(mutex);
    sessions.close(session);
}

void Simulator::Impl::finish() {
    std::lock_guard lock(mutex);
    if (finished)
        return;
    finished = true;
    adapter.finishDevices();
    trace.flush();
}

Simulator::Simulator(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
Simulator::~Simulator() = default;

const AdapterConfig &Simulator::config() const {
    return impl_->adapter.config();
}

std::vector<TraceEntry> Simulator::trace() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->trace.entries();
}

void Simulator::clearTrace() {
    std::lock_guard lock(impl_->mutex);
    impl_->trace.clear();
}

uint64_t Simulator::nowUs() const {
    return impl_->clock();
}

std::shared_ptr<I2cDevice> Simulator::i2cDevice(uint8_t address) const {
    return impl_->adapter.i2cDevice(address);
}

std::shared_ptr<SpiDevice> Simulator::spiDevice(uint8_t ssLine) const {
    return impl_->adapter.spiDevice(ssLine);
}

void Simulator::finish() {
    impl_->finish();
}

std::string Simulator::claimExternal(const std::string &name,
                                     const std::vector<ExternalPlace> &places, uint32_t timeoutMs,
                                     std::shared_ptr<ExternalLink> link) {
    std::lock_guard lock(impl_->mutex);
    const AdapterState &adapter = impl_->adapter;
    auto builtIn = [&adapter](ExternalPlace place) -> std::string {
        std::shared_ptr<ObservableModel> model;
        if (place.spi) {
            auto device = adapter.spiDevice(place.where);
            if (!device)
                return {};
            model = std::dynamic_pointer_cast<ObservableModel>(device);
        } else {
            auto device = adapter.i2cDevice(place.where);
            if (!device)
                return {};
            model = std::dynamic_pointer_cast<ObservableModel>(device);
        }
        return model ? model->modelName() : "device";
    };
    return impl_->externals.claim(name, places, timeoutMs, link, builtIn);
}

void Simulator::releaseExternal(const ExternalLink *link) {
    std::lock_guard lock(impl_->mutex);
    impl_->externals.release(link);
}

void Simulator::setExternalState(const ExternalLink *link, const nlohmann::json &state) {
    std::lock_guard lock(impl_->mutex);
    impl_->externals.setState(link, state);
}

uint64_t Simulator::injectedFaults() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->faults.injected();
}

} // namespace dlnsim
