// The three bus transactions every protocol of the library is written on: an I2C write, an
// I2C read (neither with a register-address phase) and a full-duplex SPI transfer, each one
// adapter call on port 0 of an open adapter. A failure keeps the adapter's code and the call.
#pragma once

#include "dln_api.h"

#include <cstdint>

// The one port of each bus the robot uses.
inline constexpr uint8_t kBusPort = 0;

// The names the transfers' failures carry as their step.
inline constexpr const char *kI2cWriteCall = "DlnI2cMasterWrite";
inline constexpr const char *kI2cReadCall = "DlnI2cMasterRead";
inline constexpr const char *kSpiTransferCall = "DlnSpiMasterReadWrite";

// How one step on the adapter ended: its DLN_RESULT and, when it failed, which adapter call
// and which device. Passed up unchanged, so that whoever reports it names the real cause.
struct BusResult {
    DLN_RESULT code = DLN_RES_SUCCESS;
    const char *step = nullptr; // the adapter call that failed ("DlnI2cMasterRead"), or null
    int address = -1;           // the I2C address involved, or -1 (SPI, or no device)

    bool ok() const { return DLN_SUCCEEDED(code); }
};

// The result of a failed call named step on address (-1 for none); a success when code is one.
inline BusResult StepResult(DLN_RESULT code, const char *step, int address = -1) {
    if (DLN_SUCCEEDED(code))
        return BusResult{};
    return BusResult{code, step, address};
}

// Writes count bytes to the device at address. The method bound applies (method_bound.h).
BusResult I2cWrite(HDLN handle, uint8_t address, const uint8_t *bytes, uint16_t count);

// Reads count bytes from the device at address into buffer.
BusResult I2cRead(HDLN handle, uint8_t address, uint8_t *buffer, uint16_t count);

// Sends count bytes and receives count bytes at once, on the line, mode and frequency the port
// was last given.
BusResult SpiTransfer(HDLN handle, const uint8_t *out, uint8_t *in, uint16_t count);
