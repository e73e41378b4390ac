// The simulated DLN adapter 0 with its I2C port 0 and SPI port 0, shared by the dln-sim
// server and the in-process backend dln_inproc. Thread-safe: every request runs under one lock.
#pragma once

#include "dlnsim/device.h"
#include "dlnsim/external.h"
#include "dlnsim/latency.h"

#include <nlohmann/json_fwd.hpp>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace dlnsim {

struct AdapterConfig {
    uint32_t hardwareType = 0x0401; // DLN-4M
    uint32_t hardwareVersion = 0x01000000;
    uint32_t firmwareVersion = 0x00070000;
    uint32_t serverVersion = 0x00030100;
    uint32_t libraryVersion = 0x00040200;
    uint8_t i2cPortCount = 1;
    uint8_t spiPortCount = 1;
    uint32_t i2cFrequency = 100000;
    uint32_t spiFrequency = 1000000;
    LatencyModel latency; // how long its calls take; by default none
};

// A named adapter call fails with code: on every call (nth == 0) or only on its nth call (1-based).
struct Fault {
    std::string call; // the C function name, e.g. "DlnI2cMasterWrite"
    uint16_t code = 0x4F;
    uint32_t nth = 0;
    // Only calls at this I2C address, or transfers on this slave-select line; -1: any. The
    // nth call is then the nth call there.
    int target = -1;
    uint32_t count = 0; // fail at most this many calls; 0: no limit
};

// Faults drawn from a generator seeded by seed, so that a failing run is repeated by its
// seed. Each call named in calls (by default the bus transfers DlnI2cMasterWrite,
// DlnI2cMasterRead and DlnSpiMasterReadWrite) meets a fault with probability rate, of a kind
// drawn from those enabled that fit the call: an I2C NACK (I2C transfers), a failed call
// (DLN_RES_FAIL, any call) or one flipped bit in the bytes read (I2C read, SPI transfer).
struct RandomFaults {
    uint64_t seed = 1;
    double rate = 0; // 0..1
    std::vector<std::string> calls;
    bool nack = true;
    bool fail = true;
    bool flip = true;
};

// One adapter call as a logic analyser would show it.
struct TraceEntry {
    uint64_t timeUs = 0;
    std::string call;         // the C function name
    int port = -1;            // -1 where the call has no port
    int address = -1;         // I2C 7-bit address or SPI slave-select mask; -1 where none
    std::vector<uint8_t> out; // bytes sent to the bus
    std::vector<uint8_t> in;  // bytes received from the bus
    uint16_t result = 0;
    std::string note;    // the device model's decoding, if any
    uint64_t heldUs = 0; // how long the latency model holds the reply back
    // What a mode or frequency call set or reported: the SPI mode, or a frequency in Hz
    // (the actual one of DlnSpiMasterSetFrequency); -1 for other calls and failures.
    int64_t setting = -1;
};

class Simulator;
class Timeline;
struct Observation;

class SimBuilder {
  public:
    SimBuilder &adapter(const AdapterConfig &config);
    // Replaces the latency model of the adapter (set before or after adapter()).
    SimBuilder &latency(const LatencyModel &model);
    SimBuilder &i2c(uint8_t address, std::shared_ptr<I2cDevice> device);
    SimBuilder &spi(uint8_t ssLine, std::shared_ptr<SpiDevice> device);
    // An external device at place, served once a provider named name claims it; until then
    // its transfers fail (I2C: NACK). timeoutMs bounds each of its provider's answers.
    SimBuilder &external(ExternalPlace place, const std::string &name,
                         uint32_t timeoutMs = kDefaultExternalTimeoutMs);
    SimBuilder &fault(const Fault &fault);
    SimBuilder &randomFaults(const RandomFaults &faults);
    // World changes and faults at set times (a scenario's "timeline").
    SimBuilder &timeline(std::shared_ptr<Timeline> timeline);
    // Replace the steady clock (for tests that advance time by hand).
    SimBuilder &clock(std::function<uint64_t()> nowUs);
    // Also write each trace line to this file (created or truncated by build()).
    SimBuilder &traceFile(const std::string &path);
    // Keep only the last count entries in memory (0, the default: keep all). For long runs.
    SimBuilder &traceLimit(size_t count);
    // Also hand each trace entry to sink, in call order, under the simulator's lock (so a
    // sink must be quick and must not call the simulator). For waveform files and the like.
    SimBuilder &traceSink(std::function<void(const TraceEntry &)> sink);
    // Throws std::runtime_error when the trace file cannot be created.
    std::shared_ptr<Simulator> build();

  private:
    AdapterConfig config_;
    std::optional<LatencyModel> latency_;
    std::map<uint8_t, std::shared_ptr<I2cDevice>> i2c_;
    std::map<uint8_t, std::shared_ptr<SpiDevice>> spi_;
    struct ExternalDeclaration {
        ExternalPlace place;
        std::string name;
        uint32_t timeoutMs;
    };
    std::vector<ExternalDeclaration> externals_;
    std::vector<Fault> faults_;
    RandomFaults randomFaults_;
    std::shared_ptr<Timeline> timeline_;
    std::function<uint64_t()> clock_;
    std::string traceFile_;
    size_t traceLimit_ = 0;
    std::vector<std::function<void(const TraceEntry &)>> traceSinks_;
};

// The simulated adapter: what it holds and what it saw. Its clients reach it through a
// Session (session.h).
class Simulator {
  public:
    struct Impl;
    explicit Simulator(std::unique_ptr<Impl> impl);
    ~Simulator();
    const AdapterConfig &config() const;
    std::vector<TraceEntry> trace() const; // a copy, oldest first
    void clearTrace();
    uint64_t nowUs() const;
    std::shared_ptr<I2cDevice> i2cDevice(uint8_t address) const; // null if none
    std::shared_ptr<SpiDevice> spiDevice(uint8_t ssLine) const;  // null if none
    void finish(); // calls finish() of every device once
    // How many calls an injected fault has failed so far.
    uint64_t injectedFaults() const;
    // The devices on each bus by address or slave-select line; fixed once built.
    std::vector<uint8_t> i2cAddresses() const;
    std::vector<uint8_t> spiLines() const;

    // What an onlooker sees now (observation.h): at most traceLines trace entries and
    // maxFaults pending faults, taken under the lock after applying due timeline events.
    Observation observe(size_t traceLines, size_t maxFaults);
    // Applies a world change now; returns what it did and sets *atUs to when. Throws
    // OptionError naming the key when the change is refused (nothing is changed then).
    std::string changeWorld(const nlohmann::json &request, uint64_t *atUs);

    // Puts external devices at places, served by link (a provider named name), all or none.
    // Returns why they were refused ("i2c 0x48 is the adc-dac-board of the scenario"), or an
    // empty text. timeoutMs bounds each answer where the scenario set no time-out.
    std::string claimExternal(const std::string &name, const std::vector<ExternalPlace> &places,
                              uint32_t timeoutMs, std::shared_ptr<ExternalLink> link);
    // Ends link's claims (its provider left); transfers still waiting on it are its to end.
    void releaseExternal(const ExternalLink *link);
    // The state link's provider reports, shown as its devices' state.
    void setExternalState(const ExternalLink *link, const nlohmann::json &state);

  private:
    friend class Session;
    std::unique_ptr<Impl> impl_;
};

} // namespace dlnsim
