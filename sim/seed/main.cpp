// dln-seed-scenario: turns a recording of adapter calls into a dln-sim scenario of register
// devices holding the values that were read, so that a capture becomes an editable model.
//
//   dln-seed-scenario RECORDING [SCENARIO]
//
// Writes the scenario to SCENARIO (or standard output) and says on standard error what it
// could not model.
#include "recording_file.h"
#include "scenario_seed.h"

#include <cstdio>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

int main(int argc, char **argv) {
    if (argc < 2 || argc > 3 || std::string(argv[1]) == "--help") {
        std::fprintf(stderr, "usage: dln-seed-scenario RECORDING [SCENARIO]\n"
                             "  writes a dln-sim scenario of register devices holding the values\n"
                             "  read in RECORDING (to SCENARIO, or standard output)\n");
        return 2;
    }
    try {
        std::vector<std::string> warnings;
        dlnsim::replay::ReadOptions reading;
        reading.warnings = &warnings;
        auto recording = dlnsim::replay::ReadRecordingFile(argv[1], reading);
        for (const std::string &warning : warnings)
            std::fprintf(stderr, "dln-seed-scenario: %s\n", warning.c_str());
        auto seeded = dlnsim::replay::SeedScenario(recording, argv[1]);
        std::string text = seeded.scenario.dump(2) + "\n";
        if (argc == 3) {
            std::ofstream out(argv[2]);
            if (!(out << text))
                throw std::runtime_error(std::string(argv[2]) + ": cannot write");
        } else {
            std::cout << text;
        }
        for (const std::string &note : seeded.notes)
            std::fprintf(stderr, "dln-seed-scenario: %s\n", note.c_str());
    } catch (const std::exception &e) {
        std::fprintf(stderr, "dln-seed-scenario: %s\n", e.what());
        return 1;
    }
    return 0;
}
