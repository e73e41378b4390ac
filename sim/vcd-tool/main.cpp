// dln-vcd: the bus of a saved dln-sim trace (--trace) or of a recording made on the robot,
// as a Value Change Dump for PulseView, GTKWave or sigrok-cli.
//
//   dln-vcd INPUT OUTPUT
//
// A recording is told by its first line (a JSON object); anything else is read as trace
// lines, one at a time, so a trace of any length converts in flat memory.
#include "dlnsim/bus_waveform.h"
#include "recording_file.h"
#include "trace_input.h"

#include <cstdio>
#include <fstream>
#include <string>

namespace {

int Convert(const std::string &input, const std::string &output) {
    std::ifstream in(input, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot open " + input);
    dlnsim::WaveformOptions options;
    options.source = input;
    std::string line;
    std::getline(in, line);
    bool recording = line.rfind("{", 0) == 0;
    options.source += recording ? " (a recording)" : " (a trace)";
    // Time 0 is the first call, so that an excerpt of a long trace starts at once.
    size_t calls = 0;
    if (recording) {
        in.clear();
        in.seekg(0);
        auto recorded = dlnsim::replay::ReadRecording(in, input);
        options.originUs = recorded.empty() ? 0 : recorded.front().timeUs;
        auto waveform = dlnsim::BusWaveform::ToFile(output, options);
        for (const auto &call : recorded) {
            waveform->add(dlnsim::vcd::FromRecordedCall(call));
            ++calls;
        }
    } else {
        auto first = dlnsim::vcd::ParseTraceLine(line);
        options.originUs = first ? first->timeUs : 0;
        auto waveform = dlnsim::BusWaveform::ToFile(output, options);
        size_t number = 1;
        do {
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            if (line.empty())
                continue;
            auto entry = dlnsim::vcd::ParseTraceLine(line);
            if (!entry)
                throw std::runtime_error(input + ":" + std::to_string(number) +
                                         ": not a trace line of dln-sim: " + line);
            waveform->add(*entry);
            ++calls;
        } while (++number, std::getline(in, line));
    }
    std::printf("dln-vcd: %zu calls of %s drawn into %s\n", calls, input.c_str(), output.c_str());
    return 0;
}

} // namespace

int main(int argc, char **argv) {
    if (argc == 2 && (std::string(argv[1]) == "--help" || std::string(argv[1]) == "-h")) {
        std::printf(
            "usage: dln-vcd INPUT OUTPUT\n"
            "  INPUT   a dln-sim trace (--trace FILE) or a recording of the recording dln\n"
            "  OUTPUT  the bus as a Value Change Dump (I2C SCL/SDA, SPI SCLK/MOSI/MISO/CS)\n");
        return 0;
    }
    if (argc != 3) {
        std::fprintf(stderr, "usage: dln-vcd INPUT OUTPUT\n");
        return 2;
    }
    try {
        return Convert(argv[1], argv[2]);
    } catch (const std::exception &e) {
        std::fprintf(stderr, "dln-vcd: %s\n", e.what());
        return 1;
    }
}
