// One full-duplex transfer on the adapter's SPI port 0 with the caller's clock polarity, clock
// phase, slave-select line and clock frequency; the received bytes replace the bytes sent.
#pragma once

#include <cstdint>

// The data slots from 8 end at the last slot copied in from Java.
inline constexpr int kMaxSpiTransferCount = 247;

// The frequency from four byte slots, least significant first. Added up in 32 bits, so a slot
// above 255 carries into the next byte.
uint32_t SpiRequestedFrequency(const int32_t frequencySlots[4]);

// CPOL is bit 0 and CPHA bit 1 of the mode.
uint8_t SpiMode(int32_t cpol, int32_t cpha);

// The select mask, active low: line 0..3 clears its bit; any other line selects line 0.
uint8_t SpiSlaveSelectMask(int32_t line);

// slots[0] count, [1] CPOL, [2] CPHA, [3] slave-select line, [4..7] frequency, data from [8].
// Sends the low 8 bits of the data slots and stores the bytes received in their place (zeros
// after a failed transfer; unchanged when the server is unreachable). Every failure after the
// connect is reported and the transfer goes on. A count outside 0..247 is refused with one line
// and no adapter traffic. Returns 0, or -1 for a refused count.
int SpiWriteRead(int32_t *slots);
