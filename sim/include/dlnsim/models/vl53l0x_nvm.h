// The VL53L0X's non-volatile memory (NVM) window. With bit 2 of page 6 register 0x83 set and
// page 7 register 0x81 = 1, writing 0 to page 7 register 0x83 fetches the 32-bit word whose
// address is in page 7 register 0x94; once fetched, 0x83 reads non-zero and the word sits in
// page 7 registers 0x90 to 0x93, most significant first. A strobe with the window closed
// fetches nothing, so 0x83 stays 0.
//
// The memory holds the reference SPAD information: word 0x6B has the reference SPAD count in
// bits 8 to 14 and the aperture type in bit 15; words 0x24 and 0x25 hold the six bytes of the
// good-SPAD map (word 0x25 in its two top bytes).
#pragma once

#include "dlnsim/models/vl53l0x.h"

#include <nlohmann/json_fwd.hpp>

#include <array>
#include <cstdint>
#include <map>

namespace dlnsim {

struct Vl53l0xNvmContents {
    uint8_t refSpadCount = 5; // 7 bits
    bool apertureSpads = true;
    std::array<uint8_t, 6> goodSpadMap = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    std::map<uint8_t, uint32_t> words; // further words, or replacements of the ones above
    uint32_t busyPolls = 0;            // reads of 0x83 that give 0 before a word is ready
    bool neverReady = false;           // a sensor whose NVM never answers
};

// Reads the model's options of a scenario: "refSpadCount" (0 to 127), "apertureSpads" (true or
// false), "goodSpadMap" (six bytes), "nvmBusyPolls", "nvmNeverReady" (true or false),
// "nvmWords" (object of address to value). Numbers may be written as strings ("0x24").
// Missing keys keep the defaults above. Throws OptionError (options.h) naming the key.
Vl53l0xNvmContents Vl53l0xNvmFromOptions(const nlohmann::json &options);

// The 32-bit word at an NVM address; 0 where nothing is stored.
uint32_t Vl53l0xNvmWord(const Vl53l0xNvmContents &contents, uint8_t address);

void AddVl53l0xNvm(Vl53l0x &sensor, const Vl53l0xNvmContents &contents = {});

} // namespace dlnsim
