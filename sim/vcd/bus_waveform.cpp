#include "dlnsim/bus_waveform.h"

#include "dlnsim/trace.h"
#include "vcd_stream.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <stdexcept>

namespace dlnsim {

namespace {

constexpr uint16_t kNack = 0x44;   // DLN_RES_I2C_NACK
constexpr size_t kSelectLines = 4; // the adapter's slave-select lines

bool Succeeded(const TraceEntry &call) {
    return call.result < 0x40;
}

} // namespace

struct BusWaveform::Impl {
    struct I2cWires {
        int scl, sda;
    };
    struct SpiWires {
        int sclk, mosi, miso;
        int cs[kSelectLines];
    };

    Impl(const WaveformOptions &options, Sink sink)
        : vcd(std::move(sink)), originUs(options.originUs), i2cHz(options.i2cFrequency),
          spiHz(options.spiFrequency) {
        for (int port = 0; port < options.i2cPorts; ++port) {
            std::string prefix = "i2c" + std::to_string(port) + "_";
            i2c.push_back({vcd.wire(prefix + "scl", 1), vcd.wire(prefix + "sda", 1)});
        }
        for (int port = 0; port < options.spiPorts; ++port) {
            std::string prefix = "spi" + std::to_string(port) + "_";
            SpiWires wires{vcd.wire(prefix + "sclk", 0),
                           vcd.wire(prefix + "mosi", 0),
                           vcd.wire(prefix + "miso", 0),
                           {}};
            for (size_t line = 0; line < kSelectLines; ++line)
                wires.cs[line] = vcd.wire(prefix + "cs" + std::to_string(line), 1);
            spi.push_back(wires);
        }
        calls = vcd.text("calls");
        vcd.begin("dln", "bus waveform of " + options.source + "; time 0 is " +
                             std::to_string(options.originUs) + " us into it");
        vcd.flush();
    }

    void add(const TraceEntry &call);

    // Where a call's drawing starts: its own time, or when the bus is free again.
    double startNs(const TraceEntry &call) const {
        uint64_t us = call.timeUs > originUs ? call.timeUs - originUs : 0;
        return std::max(static_cast<double>(us) * 1000.0, freeNs);
    }
    void set(double ns, int wire, int value) {
        vcd.set(static_cast<uint64_t>(std::llround(ns)), wire, value);
    }

    // I2C, one bit period T with SCL low for its first half; SDA changes only while SCL is
    // low except in start and stop.
    void i2cStart(const I2cWires &w, double &t) {
        set(t, w.sda, 0);
        set(t + half(i2cHz), w.scl, 0);
        t += half(i2cHz);
    }
    void i2cRepeatedStart(const I2cWires &w, double &t) {
        double h = half(i2cHz);
        set(t + h / 2, w.sda, 1);
        set(t + h, w.scl, 1);
        set(t + h * 1.5, w.sda, 0);
        set(t + 2 * h, w.scl, 0);
        t += 2 * h;
    }
    void i2cBit(const I2cWires &w, double &t, int bit) {
        double h = half(i2cHz);
        set(t + h / 2, w.sda, bit);
        set(t + h, w.scl, 1);
        set(t + 2 * h, w.scl, 0);
        t += 2 * h;
    }
    void i2cByte(const I2cWires &w, double &t, uint8_t byte, bool ack) {
        for (int bit = 7; bit >= 0; --bit)
            i2cBit(w, t, (byte >> bit) & 1);
        i2cBit(w, t, ack ? 0 : 1);
    }
    void i2cStop(const I2cWires &w, double &t) {
        double h = half(i2cHz);
        set(t + h / 2, w.sda, 0);
        set(t + h, w.scl, 1);
        set(t + 2 * h, w.sda, 1);
        t += 2 * h;
        freeNs = t + 2 * h; // the bus-free time before the next start
    }
    void i2cTransfer(const I2cWires &w, const TraceEntry &call, bool read);

    void spiTransfer(const SpiWires &w, const TraceEntry &call);

    static double half(uint32_t hz) { return 1e9 / 2.0 / std::max<uint32_t>(hz, 1); }

    vcd::VcdStream vcd;
    int calls; // the markers
    std::vector<I2cWires> i2c;
    std::vector<SpiWires> spi;
    uint64_t originUs;
    uint32_t i2cHz;
    uint32_t spiHz;
    int spiMode = 0;
    int ssMask = 0xFE;     // line 0, as the adapter starts
    double freeNs = 10000; // idle bus first, so that a call at time 0 shows its start
};

void BusWaveform::Impl::i2cTransfer(const I2cWires &w, const TraceEntry &call, bool read) {
    double t = startNs(call);
    uint8_t address = static_cast<uint8_t>(call.address << 1);
    i2cStart(w, t);
    // A read with a memory address writes the address first, then turns round with a
    // repeated start; a write carries its memory address as its first bytes.
    bool writeFirst = !read || !call.out.empty();
    if (!Succeeded(call)) {
        // Which byte a device refused is not known: the address takes the NACK.
        i2cByte(w, t, static_cast<uint8_t>(address | (writeFirst ? 0 : 1)), false);
        i2cStop(w, t);
        return;
    }
    if (writeFirst) {
        i2cByte(w, t, address, true);
        for (uint8_t byte : call.out)
            i2cByte(w, t, byte, true);
    }
    if (read) {
        if (writeFirst)
            i2cRepeatedStart(w, t);
        i2cByte(w, t, static_cast<uint8_t>(address | 1), true);
        // The master acknowledges every byte but the last, which ends the read.
        for (size_t i = 0; i < call.in.size(); ++i)
            i2cByte(w, t, call.in[i], i + 1 < call.in.size());
    }
    i2cStop(w, t);
}

void BusWaveform::Impl::spiTransfer(const SpiWires &w, const TraceEntry &call) {
    double q = half(spiHz) / 2;
    int cpol = spiMode & 1;
    int cpha = (spiMode >> 1) & 1;
    int mask = call.address >= 0 ? call.address : ssMask;
    double t = startNs(call);
    set(t, w.sclk, cpol);
    for (size_t line = 0; line < kSelectLines; ++line)
        set(t + q, w.cs[line], (mask >> line) & 1);
    t += 2 * q;
    for (size_t i = 0; i < call.out.size(); ++i) {
        uint8_t in = i < call.in.size() ? call.in[i] : 0xFF;
        for (int bit = 7; bit >= 0; --bit) {
            // Phase 0: the data stands before the leading edge, which samples it; phase 1:
            // it changes after the leading edge and the trailing edge samples it.
            double dataAt = cpha == 0 ? t : t + 2 * q;
            set(t + q, w.sclk, 1 - cpol);
            set(dataAt, w.mosi, (call.out[i] >> bit) & 1);
            set(dataAt, w.miso, (in >> bit) & 1);
            set(t + 3 * q, w.sclk, cpol);
            t += 4 * q;
        }
    }
    for (size_t line = 0; line < kSelectLines; ++line)
        set(t + q, w.cs[line], 1);
    freeNs = t + 2 * q;
}

void BusWaveform::Impl::add(const TraceEntry &call) {
    bool ok = Succeeded(call);
    bool drawn = false;
    if (call.call == "DlnI2cMasterWrite" || call.call == "DlnI2cMasterRead") {
        bool onBus = ok || call.result == kNack;
        if (onBus && call.port >= 0 && static_cast<size_t>(call.port) < i2c.size() &&
            call.address >= 0) {
            i2cTransfer(i2c[static_cast<size_t>(call.port)], call, call.call == "DlnI2cMasterRead");
            drawn = ok;
        }
    } else if (call.call == "DlnSpiMasterReadWrite") {
        if (ok && call.port >= 0 && static_cast<size_t>(call.port) < spi.size()) {
            spiTransfer(spi[static_cast<size_t>(call.port)], call);
            drawn = true;
        }
    } else if (ok && call.call == "DlnSpiMasterSetSS" && call.address >= 0) {
        ssMask = call.address;
    } else if (ok && call.setting >= 0) {
        if (call.call == "DlnSpiMasterSetMode" || call.call == "DlnSpiMasterGetMode")
            spiMode = static_cast<int>(call.setting & 3);
        else if (call.setting > 0 && (call.call == "DlnSpiMasterSetFrequency" ||
                                      call.call == "DlnSpiMasterGetFrequency"))
            spiHz = static_cast<uint32_t>(call.setting);
        else if (call.setting > 0 && call.call == "DlnI2cMasterGetFrequency")
            i2cHz = static_cast<uint32_t>(call.setting);
    }
    if (!drawn) {
        // The trace line without its time, which the marker stands at.
        std::string line = FormatTraceLine(call);
        size_t space = line.find(' ');
        vcd.set(static_cast<uint64_t>(std::llround(startNs(call))), calls,
                std::string_view(line).substr(space + 1));
    }
    vcd.flush();
}

BusWaveform::BusWaveform(const WaveformOptions &options, Sink sink)
    : impl_(std::make_unique<Impl>(options, std::move(sink))) {}

BusWaveform::~BusWaveform() {
    // 10 us of idle bus after the last call, so that its stop or chip select shows.
    impl_->vcd.end(static_cast<uint64_t>(std::llround(impl_->freeNs + 10000)));
    impl_->vcd.flush();
}

void BusWaveform::add(const TraceEntry &call) {
    impl_->add(call);
}

WaveformOptions BusWaveform::OptionsFor(const AdapterConfig &adapter, std::string source) {
    WaveformOptions options;
    options.i2cFrequency = adapter.i2cFrequency;
    options.spiFrequency = adapter.spiFrequency;
    options.i2cPorts = adapter.i2cPortCount;
    options.spiPorts = adapter.spiPortCount;
    options.source = std::move(source);
    return options;
}

std::shared_ptr<BusWaveform> BusWaveform::ToFile(const std::string &path,
                                                 const WaveformOptions &options) {
    std::shared_ptr<std::FILE> file(std::fopen(path.c_str(), "wb"), [](std::FILE *f) {
        if (f != nullptr)
            std::fclose(f);
    });
    if (!file)
        throw std::runtime_error("cannot create waveform file " + path + ": " +
                                 std::strerror(errno));
    // Written through a large buffer, flushed when 0.2 s have passed since the last flush
    // (and at the end): a system call per call would cost more than drawing it.
    std::setvbuf(file.get(), nullptr, _IOFBF, 1 << 18);
    auto flushed = std::chrono::steady_clock::now();
    return std::make_shared<BusWaveform>(options, [file, flushed](std::string_view text) mutable {
        std::fwrite(text.data(), 1, text.size(), file.get());
        auto now = std::chrono::steady_clock::now();
        if (now - flushed >= std::chrono::milliseconds(200)) {
            std::fflush(file.get());
            flushed = now;
        }
    });
}

} // namespace dlnsim
