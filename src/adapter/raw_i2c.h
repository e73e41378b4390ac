// Raw I2C on the adapter's port 0: the adapter and bus listing, the scan, and byte reads and
// writes without a register-address phase. Each runs a complete connection of its own.
#pragma once

#include <cstdint>

inline constexpr int kScanListLength = 128;
inline constexpr int kMaxReadCount = 251;  // the data slots from 2 end at the last copied slot
inline constexpr int kMaxWriteCount = 253; // likewise, for the bytes to send

// Prints the adapter's description and the devices on the bus. Returns the result of the
// final disconnect, or 38 (the length of the message it printed) when the server is unreachable.
int PrintAdapterAndDevices();

// Fills list (128 entries, all 0 first) with the addresses found. Returns the I2C port count,
// or -1 on failure.
int ScanI2cBus(int32_t list[kScanListLength]);

// Reads count & 0xFF bytes from address into slots[0..]. Returns count, or -1 on failure
// (the slots then keep their values).
int ReadI2cBytes(int32_t address, int32_t count, int32_t *slots);

// Writes the low 8 bits of slots[0..count-1] to address and, on success, stores each byte sent
// back into its slot. Returns count, or -1 on failure.
int WriteI2cBytes(int32_t address, int32_t count, int32_t *slots);
