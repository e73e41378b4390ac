// Register access of the ranging sensor. Registers are addressed by a one-byte
// index sent as the first data byte; multi-byte registers are big-endian on the bus.
// The device is addressed at device.busAddress >> 1 through device.adapterHandle, port 0.
//
// Every operation returns 0, or -20 (kSensorControlInterface) when a bus transfer failed
// (after device.transferRetries repeats of a NACKed or failed one); a failed read then yields
// 0 in every output byte, and device.busFailure keeps the first such failure.
#pragma once

#include "ranging/device/ranging_device.h"

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

// Writes the sequence step configuration (register 0x01) and, once it is written, keeps it
// as device.sequenceConfig, the value the timing code works from.
SensorStatus VL53L0X_WriteSequenceConfig(RangingDevice &device, uint8_t value);

// Writes (old & mask) | bits back; a failed read writes nothing.
SensorStatus VL53L0X_UpdateReg8(RangingDevice &device, uint8_t index, uint8_t mask, uint8_t bits);
