// Erasing and programming the serial EEPROM on SPI port 0. Both run the SPI form of the
// connection and keep the port's mode, frequency and slave select as they are.
#pragma once

#include "adapter/eeprom_commands.h"
#include "adapter/failure_report.h"

#include <cstdint>

// A chip that never clears its busy bit is given up on after this many status reads per block.
inline constexpr int kMaxStatusPolls = 10000;

// Reads the identification, erases the chip (the erase command goes out twice) and closes.
// Fails, releasing the connection, when the server is unreachable or the write enable before
// the erase fails; the chip is then not erased.
Outcome SpiEraseEEPROM();

// Erases the chip as above, loads "program.hex" into a 64 KiB image, dumps it to "zz.dat" and
// programs it in 512 blocks of 128 bytes, polling the status after each. A missing
// "program.hex" or an unwritable "zz.dat" is found before the erase: it is reported on
// standard error and the operation fails with the chip untouched. Failed transfers after the
// erase are reported and the programming goes on.
Outcome SpiProgramEEPROM();

// Programs one block of image and waits on the status register until the chip is ready, at
// most kMaxStatusPolls reads; then reads the status once more and sets the write enable latch
// for the next block. Prints every step. Returns false when the method's bound passed at a
// transfer: that transfer's failure lines are the block's last.
bool ProgramEepromBlockAndWait(EepromSession &session, const uint8_t *image, int block);
