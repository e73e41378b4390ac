// The 64 KiB EEPROM image: loaded from the text of "program.hex" (hexadecimal address/data
// pairs) and dumped to "zz.dat" (one "address  byte" line per address).
#pragma once

#include "adapter/eeprom_commands.h"

#include <cstdint>
#include <cstdio>

// Reads "%x %x" pairs from file into image (kEepromImageSize bytes), echoing each pair as
// "Address=%d  Data1=%x \n"; the low 8 bits of the data are stored. A pair addressed above
// 0xFFFF ends the loading unstored. At the end of the file the last pair (0 0 before any) is
// echoed and stored once more. Text that is not a hexadecimal pair ends the loading with one
// line; the pairs before it stay stored. Returns the number of echo lines.
int LoadProgramHex(FILE *file, uint8_t *image);

// Writes the 65536 lines "%x  %x\n" (address, byte) to file. Returns false when a write failed.
bool WriteImageDump(FILE *file, const uint8_t *image);
