// The exchange every command byte of the servo and ADC/DAC boards goes through: one write of
// the bytes, then two one-byte reads of which only the second carries the board's reply.
#pragma once

#include "adapter/failure_report.h"
#include "dln_api.h"

#include <cstdint>

// A byte taken from a caller's int is its low 8 bits.
inline uint8_t Low8(int32_t value) {
    return static_cast<uint8_t>(value & 0xFF);
}

struct ExchangeReply {
    Outcome outcome = Outcome::Failed;
    BusResult failure; // when failed: the transfer that failed, with the adapter's code
    uint8_t byte = 0;  // when done: the byte of the second read
};

// Sends count bytes (1 or 2) to the board at address on port 0 without a register-address
// phase and reads the reply. The first read only clocks out the board's previous answer, but a
// failure of either read is a read failure: after a failed first read the second read would
// hand back the previous answer as if it were this one.
ExchangeReply BoardExchange(HDLN handle, uint8_t address, const uint8_t *bytes, uint16_t count);

// The one-byte form used by the servo boards.
inline ExchangeReply BoardExchange(HDLN handle, uint8_t address, uint8_t byte) {
    return BoardExchange(handle, address, &byte, 1);
}
