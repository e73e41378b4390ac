// The serial EEPROM's commands on SPI port 0: thin transfers over DlnSpiMasterReadWrite that
// share one 4-byte command buffer and one 4-byte reply buffer, as the programmer expects.
#pragma once

#include "adapter/reporter.h"
#include "dln_api.h"

#include <cstdint>

inline constexpr uint8_t kEepromReadId = 0x9F;
inline constexpr uint8_t kEepromWriteEnable = 0x06;
inline constexpr uint8_t kEepromChipErase = 0x60;
inline constexpr uint8_t kEepromReadStatus = 0x05;
inline constexpr uint8_t kEepromPageProgram = 0x02;
inline constexpr uint8_t kEepromStatusBusy = 0x01; // a write is still in progress

inline constexpr int kEepromBlockSize = 128;
inline constexpr int kEepromImageSize = 65536;
inline constexpr int kEepromBlockCount = kEepromImageSize / kEepromBlockSize;

struct EepromSession {
    HDLN handle = 0;
    uint8_t command[4] = {}; // each command sets byte 0 (and the status read byte 1) only
    uint8_t reply[4] = {};
    const Reporter *reporter = &kPrintingReporter; // where the programmer's lines go
};

// Sets command byte 0 to opcode and transfers the first length (1..4) command bytes, receiving
// into the reply buffer. Prints nothing.
DLN_RESULT EepromCommand(EepromSession &session, uint8_t opcode, uint16_t length);

// Sends 0x05 0x00; the status byte arrives in reply[1]. Prints nothing.
DLN_RESULT EepromReadStatus(EepromSession &session);

// Programs block (0..511) with its 128 image bytes at address block * 128, the address sent as
// 0x00, page, 0x00 or 0x80. The reply is received into a buffer of its own and not used.
DLN_RESULT EepromProgramBlock(const EepromSession &session, const uint8_t *image, int block);
