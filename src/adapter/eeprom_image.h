// The 64 KiB EEPROM image: read whole from the text of "program.hex" (hexadecimal
// address/data pairs) before the chip is touched, and dumped to "zz.dat" (one "address  byte"
// line per address).
#pragma once

#include "adapter/reporter.h"

#include "adapter/eeprom_commands.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// A "program.hex" larger than this is refused unread: 65536 pairs written as "0xffff 0xff"
// with CRLF line ends take 852 KiB.
inline constexpr size_t kMaxProgramHexBytes = 1u << 20;

struct ProgramHexImage {
    std::vector<uint8_t> bytes = std::vector<uint8_t>(kEepromImageSize, 0);
    // The pairs the loading echoes, in order: address and data byte.
    std::vector<std::pair<uint32_t, uint8_t>> echoed;
    // Empty when the text is good; else its first bad place, "line 3, column 7: ...".
    std::string error;
};

// Reads the "%x %x" pairs of text (numbers may carry 0x; separated by white space) into an
// image; the low 8 bits of the data are stored, a later pair overwrites an earlier one. A pair
// addressed above 0xFFFF ends the loading unstored. When text does not end right after its
// last pair (or holds none) that pair (0 0 before any) is echoed and stored once more, as the
// reading always did. Anything that is not such a pair sets error.
ProgramHexImage ParseProgramHex(std::string_view text);

// Reports the echo lines "Address=%d  Data1=%x \n" of the image's pairs.
void PrintProgramHexEcho(const Reporter &reporter, const ProgramHexImage &image);

// Writes the 65536 lines "%x  %x\n" (address, byte) to file. Returns false when a write failed.
bool WriteImageDump(FILE *file, const uint8_t *image);
