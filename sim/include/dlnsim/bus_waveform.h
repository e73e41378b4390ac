// The bus as a logic analyser shows it: adapter calls (trace entries) drawn as Value Change
// Dump signals that PulseView, GTKWave and sigrok-cli open.
//
// Per I2C port "i2cP_scl" and "i2cP_sda": start, the address byte with its R/W bit, ACK or
// NACK after every byte, the data bytes, a repeated start after a memory address, stop. Per
// SPI port "spiP_sclk", "spiP_mosi", "spiP_miso" and one chip select per line
// ("spiP_cs0".."spiP_cs3", low while selected), SCLK in the mode last set (CPOL bit 0, CPHA
// bit 1). Bits go at the frequency the adapter reported; each transaction starts at the time
// of its call, or right after the one before when that one still runs. Calls that put nothing
// on the bus (connect, enable, settings, refused or failed calls) become markers: the string
// variable "calls" changes to their trace line, blanks as '_' (GTKWave shows it; sigrok-cli
// and PulseView skip it, with a warning unless run with "-l 1"). The text is handed on call by
// call, so memory stays flat.
#pragma once

#include "dlnsim/simulator.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace dlnsim {

struct WaveformOptions {
    uint32_t i2cFrequency = 100000; // until a call reports the adapter's
    uint32_t spiFrequency = 1000000;
    uint8_t i2cPorts = 1;
    uint8_t spiPorts = 1;
    uint64_t originUs = 0; // the call time drawn at 0
    std::string source;    // named in the file's header comment
};

class BusWaveform {
  public:
    using Sink = std::function<void(std::string_view)>;
    // Writes the header to sink at once.
    BusWaveform(const WaveformOptions &options, Sink sink);
    ~BusWaveform(); // ends the waveform 10 us after the last call
    BusWaveform(const BusWaveform &) = delete;
    BusWaveform &operator=(const BusWaveform &) = delete;

    // Draws one call and hands its text to the sink.
    void add(const TraceEntry &call);

    // The options for a simulated adapter: its frequencies and port counts.
    static WaveformOptions OptionsFor(const AdapterConfig &adapter, std::string source);

    // A waveform written to a file (created or truncated); what was drawn reaches the file
    // within 0.2 s of the next call, and all of it when the waveform is destroyed. Throws
    // std::runtime_error naming the file when it cannot be created.
    static std::shared_ptr<BusWaveform> ToFile(const std::string &path,
                                               const WaveformOptions &options);

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace dlnsim
