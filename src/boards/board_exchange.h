// The exchange every command byte of the servo and ADC/DAC boards goes through: one write of
// the bytes, then two one-byte reads of which only the second carries the board's reply.
#pragma once

#include "dln_api.h"

#include <cstdint>

// A byte taken from a parameter slot is its low 8 bits.
inline uint8_t Low8(int32_t value) {
    return static_cast<uint8_t>(value & 0xFF);
}

enum class ExchangeStatus {
    Ok,
    WriteFailed, // the write's result was 0x40 or more
    ReadFailed,  // the second read's result was 0x40 or more
};

// Sends count bytes (1 or 2) to the board at address on port 0 without a register-address
// phase and reads the reply. On Ok, *reply holds the byte of the second read; otherwise
// *reply is untouched. The first read only clocks out the board's previous answer, so its
// result is not judged.
ExchangeStatus BoardExchange(HDLN handle, uint8_t address, const uint8_t *bytes, uint16_t count,
                             uint8_t *reply);

// The one-byte form used by the servo boards.
inline ExchangeStatus BoardExchange(HDLN handle, uint8_t address, uint8_t byte, uint8_t *reply) {
    return BoardExchange(handle, address, &byte, 1, reply);
}
