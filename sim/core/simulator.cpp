// The simulator's construction, sessions, trace and the face tests use. The calls
// themselves are in dispatch.cpp.
#include "simulator_impl.h"
#include "trace.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <stdexcept>

namespace dlnsim {

SimBuilder &SimBuilder::adapter(const AdapterConfig &config) {
    config_ = config;
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
    std::map<uint8_t, std::shared_ptr<I2cDevice>> i2c;
    for (auto &[address, device] : i2c_)
        if (device && address < 0x80)
            i2c[address] = device;
    std::map<uint8_t, std::shared_ptr<SpiDevice>> spi;
    for (auto &[line, device] : spi_)
        if (device && line < 8)
            spi[line] = device;
    auto sim = std::make_shared<Simulator>(std::make_unique<Simulator::Impl>(
        config_, std::move(i2c), std::move(spi), faults_, std::move(clock), file, traceLimit_));
    sim->impl().setRandomFaults(randomFaults_);
    sim->impl().timeline = timeline_;
    return sim;
}

Simulator::Impl::Impl(AdapterConfig config, std::map<uint8_t, std::shared_ptr<I2cDevice>> i2c,
                      std::map<uint8_t, std::shared_ptr<SpiDevice>> spi, std::vector<Fault> faults,
                      std::function<uint64_t()> clock, std::FILE *traceFile, size_t traceLimit)
    : config(config), i2c(std::move(i2c)), spi(std::move(spi)), faults(std::move(faults)),
      clock_(std::move(clock)), traceFile_(traceFile), traceLimit_(traceLimit),
      spiFrequency_(config.spiFrequency) {}

Simulator::Impl::~Impl() {
    if (traceFile_ != nullptr)
        std::fclose(traceFile_);
}

uint32_t Simulator::Impl::openSession() {
    std::lock_guard lock(mutex);
    do
        ++lastSession_;
    while (lastSession_ == 0 || sessions_.count(lastSession_) != 0);
    sessions_[lastSession_];
    return lastSession_;
}

void Simulator::Impl::closeSession(uint32_t session) {
    std::lock_guard lock(mutex);
    auto it = sessions_.find(session);
    if (it == sessions_.end())
        return;
    for (uint16_t handle : it->second)
        handles_.erase(handle);
    sessions_.erase(it);
}

uint64_t Simulator::Impl::now() const {
    return clock_();
}

void Simulator::Impl::record(TraceEntry entry) {
    if (traceFile_ != nullptr) {
        std::string line = FormatTraceLine(entry);
        line += '\n';
        std::fputs(line.c_str(), traceFile_);
        // Readers (tests, a user's tail -f) see each call as soon as it happened.
        std::fflush(traceFile_);
    }
    ++calls;
    trace_.push_back(std::move(entry));
    if (traceLimit_ != 0 && trace_.size() > traceLimit_)
        trace_.pop_front();
}

void Simulator::Impl::finish() {
    std::lock_guard lock(mutex);
    if (finished_)
        return;
    finished_ = true;
    for (auto &[address, device] : i2c)
        device->finish();
    for (auto &[line, device] : spi)
        device->finish();
    if (traceFile_ != nullptr)
        std::fflush(traceFile_);
}

uint64_t Simulator::Impl::injectedFaults() const {
    std::lock_guard lock(mutex);
    return injected_;
}

Simulator::Simulator(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
Simulator::~Simulator() = default;

const AdapterConfig &Simulator::config() const {
    return impl_->config;
}

std::vector<TraceEntry> Simulator::trace() const {
    std::lock_guard lock(impl_->mutex);
    return {impl_->trace_.begin(), impl_->trace_.end()};
}

void Simulator::clearTrace() {
    std::lock_guard lock(impl_->mutex);
    impl_->trace_.clear();
}

uint64_t Simulator::nowUs() const {
    return impl_->now();
}

std::shared_ptr<I2cDevice> Simulator::i2cDevice(uint8_t address) const {
    auto it = impl_->i2c.find(address);
    return it == impl_->i2c.end() ? nullptr : it->second;
}

std::shared_ptr<SpiDevice> Simulator::spiDevice(uint8_t ssLine) const {
    auto it = impl_->spi.find(ssLine);
    return it == impl_->spi.end() ? nullptr : it->second;
}

void Simulator::finish() {
    impl_->finish();
}

uint64_t Simulator::injectedFaults() const {
    return impl_->injectedFaults();
}

} // namespace dlnsim
