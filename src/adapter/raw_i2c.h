// Raw I2C on the adapter's port 0: the adapter and bus listing, the scan, and byte reads and
// writes without a register-address phase. Each runs a complete connection of its own.
#pragma once

#include "adapter/failure_report.h"

#include <cstdint>

inline constexpr int kScanListLength = 128;

// Prints the adapter's description and the devices on the bus. Returns the result of the
// final disconnect, or 38 (the length of the message it printed) when the server is unreachable.
int PrintAdapterAndDevices();

struct I2cScan {
    Outcome outcome = Outcome::Failed;
    // The adapter was reached and the scan made: the list below replaces any earlier one
    // (empty when the scan failed). False when the connection ended first.
    bool listed = false;
    int count = 0; // addresses in devices, at most kScanListLength
    uint8_t devices[kScanListLength] = {};
};

// Scans the bus and prints the devices found.
I2cScan ScanI2cBus();

struct I2cBytes {
    Outcome outcome = Outcome::Failed;
    uint8_t count = 0;
    uint8_t bytes[256] = {};
};

// Reads count bytes from address and prints each. On failure nothing was read.
I2cBytes ReadI2cBytes(uint8_t address, uint8_t count);

// Writes count bytes to address and prints each once sent. Returns the bytes sent; on failure
// nothing reached the device.
I2cBytes WriteI2cBytes(uint8_t address, uint8_t count, const uint8_t *bytes);
