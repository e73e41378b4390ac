// One full-duplex transfer on the adapter's SPI port 0 with the caller's clock polarity, clock
// phase, slave-select line and clock frequency.
#pragma once

#include "adapter/failure_report.h"

#include <cstdint>

// The send and receive buffers' size; a transfer carries at most this many bytes.
inline constexpr int kSpiBufferSize = 512;

struct SpiTransferRequest {
    int32_t cpol = 0;        // bit 0 of the mode
    int32_t cpha = 0;        // bit 1 of the mode
    int32_t slaveSelect = 0; // line 0..3; any other value selects line 0
    uint32_t frequency = 0;  // the clock asked for, in Hz
    uint16_t count = 0;      // bytes to send and receive, at most kSpiBufferSize
    uint8_t bytes[kSpiBufferSize] = {};
};

struct SpiTransferResult {
    // Failed when the server could not be reached or the transfer itself failed; the failures
    // of the settings are reported but let the transfer go ahead.
    Outcome outcome = Outcome::Failed;
    // The adapter was reached: received holds what came back, zeros after a failed transfer.
    bool connected = false;
    uint8_t received[kSpiBufferSize] = {};
};

// CPOL is bit 0 and CPHA bit 1 of the mode.
uint8_t SpiMode(int32_t cpol, int32_t cpha);

// The select mask, active low: line 0..3 clears its bit; any other line selects line 0.
uint8_t SpiSlaveSelectMask(int32_t line);

// Prints the settings, connects, sets mode, frequency and select anew, transfers and prints
// the bytes received. Every failure after the connect is reported and the transfer goes on.
SpiTransferResult SpiWriteRead(const SpiTransferRequest &request);
