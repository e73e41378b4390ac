// The serial EEPROM as memory, for the typed library: identification, chip erase, and programs
// and reads of any byte range from and into the caller's memory (no file), each write waited
// for by status reads. The caller holds the SPI port (spi_port.h) with the chip's line, mode and
// frequency selected. Prints nothing.
#pragma once

#include "adapter/bus.h"

#include <cstdint>

inline constexpr uint32_t kEepromSize = 65536; // the robot's chip
inline constexpr int kEepromIdLength = 3;

// Reads the three identification bytes (manufacturer, type, capacity).
BusResult EepromIdentify(HDLN handle, uint8_t *id);

// Sets the write enable latch, erases the whole chip and waits until it is done. Ends with
// kWrongDevice when the latch does not set, kDeviceBusy when the chip stays busy.
BusResult EepromEraseChip(HDLN handle);

// Programs bytes[0..length) at offset..offset+length (within kEepromSize) page by page, each page
// write enabled and waited for. The chip must have been erased where it is programmed.
BusResult EepromProgramRange(HDLN handle, uint32_t offset, const uint8_t *bytes, uint32_t length);

// Reads length bytes from offset (within kEepromSize) into bytes.
BusResult EepromReadRange(HDLN handle, uint32_t offset, uint8_t *bytes, uint32_t length);
