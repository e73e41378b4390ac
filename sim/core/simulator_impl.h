// The inside of the simulated adapter: its state, its client sessions and the dispatch of
// one request. The server and dln_inproc talk to it through sessions; tests use Simulator.
#pragma once

#include "dlnsim/simulator.h"
#include "fault_plan.h"
#include "timeline.h"
#include "wire.h"

#include <cstdio>
#include <deque>
#include <random>
#include <set>

namespace dlnsim {

struct Simulator::Impl {
    Impl(AdapterConfig config, std::map<uint8_t, std::shared_ptr<I2cDevice>> i2c,
         std::map<uint8_t, std::shared_ptr<SpiDevice>> spi, std::vector<Fault> faults,
         std::function<uint64_t()> clock, std::FILE *traceFile, size_t traceLimit);
    ~Impl();

    // A client session (one TCP connection, or one in-process connection). Handles opened in
    // a session are closed with it.
    uint32_t openSession();
    void closeSession(uint32_t session);
    // Runs one request of session and gives its reply. Every request is traced.
    dln::wire::Reply dispatch(uint32_t session, const dln::wire::Request &request);

    // For the live page; the caller holds mutex.
    std::vector<TraceEntry> traceTail(size_t count) const {
        size_t from = trace_.size() > count ? trace_.size() - count : 0;
        return {trace_.begin() + static_cast<std::ptrdiff_t>(from), trace_.end()};
    }
    size_t sessionCount() const { return sessions_.size(); }
    uint64_t injectedCount() const { return injected_; }

    // Faults at random from now on (replacing any earlier set).
    void setRandomFaults(const RandomFaults &faults);

    uint64_t now() const;
    void finish();
    // Counts of calls failed by an injected fault, for the report at the end of a run.
    uint64_t injectedFaults() const;

    mutable std::mutex mutex; // every request runs under it
    const AdapterConfig config;
    const std::map<uint8_t, std::shared_ptr<I2cDevice>> i2c;
    const std::map<uint8_t, std::shared_ptr<SpiDevice>> spi;
    // Guarded by mutex: the named faults (the live page adds and clears them), the timeline
    // (set before the first client), the calls run so far.
    FaultPlan faults;
    std::shared_ptr<Timeline> timeline;
    uint64_t calls = 0;

  private:
    friend class Simulator;
    enum class Draw { None, Nack, Fail, Flip }; // what a random draw decided for a call
    uint16_t run(uint32_t session, const dln::wire::Request &request, dln::wire::Reply &reply,
                 TraceEntry &entry, Draw &draw);
    uint16_t openDevice(uint32_t session, uint32_t number, dln::wire::Reply &reply,
                        TraceEntry &entry);
    uint16_t i2cWrite(const dln::wire::Request &request, TraceEntry &entry);
    uint16_t i2cRead(const dln::wire::Request &request, dln::wire::Reply &reply, TraceEntry &entry);
    uint16_t spiReadWrite(const dln::wire::Request &request, dln::wire::Reply &reply,
                          TraceEntry &entry);
    void record(TraceEntry entry);

    Draw drawRandomFault(dln::wire::Call call);
    void flipRandomBit(std::vector<uint8_t> &bytes, TraceEntry &entry);

    uint64_t injected_ = 0;
    RandomFaults random_;
    std::set<std::string> randomCalls_;
    std::mt19937_64 rng_;
    std::function<uint64_t()> clock_;
    std::FILE *traceFile_ = nullptr;
    size_t traceLimit_ = 0; // 0: keep everything
    std::deque<TraceEntry> trace_;
    std::map<uint32_t, std::set<uint16_t>> sessions_;
    std::set<uint16_t> handles_;
    uint16_t lastHandle_ = 0;
    uint32_t lastSession_ = 0;
    uint8_t spiMode_ = 0;
    // Line 0 is selected from power-on, so a program that never sets the select (the EEPROM
    // programmer) reaches the device on line 0, as it does on the adapter.
    uint8_t ssMask_ = 0xFE;
    uint32_t spiFrequency_ = 0;
    bool finished_ = false;
};

// The frequency a 48 MHz clock divided by an even divider gives: the largest not above
// requested, clamped to what the dividers reach.
uint32_t ActualSpiFrequency(uint32_t requested);
// The slave-select line of an active-low mask: its lowest cleared bit; -1 when none is.
int SelectedLine(uint8_t mask);

} // namespace dlnsim
