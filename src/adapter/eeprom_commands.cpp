#include "adapter/eeprom_commands.h"

#include "adapter/bus.h"

#include <cstring>

DLN_RESULT EepromCommand(EepromSession &session, uint8_t opcode, uint16_t length) {
    session.command[0] = opcode;
    return SpiTransfer(session.handle, session.command, session.reply, length).code;
}

DLN_RESULT EepromReadStatus(EepromSession &session) {
    session.command[1] = 0x00;
    return EepromCommand(session, kEepromReadStatus, 2);
}

DLN_RESULT EepromProgramBlock(const EepromSession &session, const uint8_t *image, int block) {
    const int page = block / 2;
    const int half = block % 2;
    uint8_t command[4 + kEepromBlockSize];
    command[0] = kEepromPageProgram;
    command[1] = 0x00;
    command[2] = static_cast<uint8_t>(page);
    command[3] = static_cast<uint8_t>(half * 0x80);
    memcpy(&command[4], &image[block * kEepromBlockSize], kEepromBlockSize);
    uint8_t reply[512] = {};
    return SpiTransfer(session.handle, command, reply, sizeof command).code;
}
