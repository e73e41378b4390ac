// Register access of the ranging sensor and the driver's waits. Registers are addressed by a
// one-byte index sent as the first data byte; multi-byte registers are big-endian on the bus.
// The device is addressed at device.busAddress >> 1 through sensorAdapterHandle, port 0.
//
// Every operation returns 0, or -20 (kSensorControlInterface) when a bus transfer failed;
// a failed read then yields 0 in every output byte.
#pragma once

#include "ranging/ranging_device.h"

#include <cstdint>

SensorStatus VL53L0X_WriteReg8(RangingDevice &device, uint8_t index, uint8_t value);
SensorStatus VL53L0X_WriteReg16(RangingDevice &device, uint8_t index, uint16_t value);
// One write of count + 1 bytes: the index, then bytes[0..count).
SensorStatus VL53L0X_WriteBlock(RangingDevice &device, uint8_t index, const uint8_t *bytes,
                                uint8_t count);

SensorStatus VL53L0X_ReadReg8(RangingDevice &device, uint8_t index, uint8_t *value);
// Also prints the two bytes read, each with "%2x", without separator or line end.
SensorStatus VL53L0X_ReadReg16(RangingDevice &device, uint8_t index, uint16_t *value);
SensorStatus VL53L0X_ReadReg32(RangingDevice &device, uint8_t index, uint32_t *value);
// Reads count bytes from index on into the caller's buffer.
SensorStatus VL53L0X_ReadBlock(RangingDevice &device, uint8_t index, uint8_t *bytes, uint8_t count);

// Writes (old & mask) | bits back; a failed read writes nothing.
SensorStatus VL53L0X_UpdateReg8(RangingDevice &device, uint8_t index, uint8_t mask, uint8_t bits);

// Waits 1 ms (through the platform's polling delay, so tests can record it).
void PollingDelay();

// Software reset through register 0xBF; waits for 0xC0 to read 0 in reset and non-zero after
// release, each wait giving up after 2000 reads with -7. Sets deviceState to 0 on success.
SensorStatus VL53L0X_SoftReset(RangingDevice &device);

// Sets *ready to 1 when a result waits. With gpioInterruptMode 4 it tests register 0x13
// (bits 0-2 == 4; bit 3 or 4 set gives -6 with *ready still set), else bit 0 of register 0x14.
SensorStatus VL53L0X_CheckDataReady(RangingDevice &device, uint8_t *ready);

// Polls the ready test up to 2000 times with a 1 ms delay between checks; -7 when no result
// came, or the first non-zero status of a check.
SensorStatus VL53L0X_WaitDataReady(RangingDevice &device);
