// The driver's waits: the 1 ms polling delay, the software reset and the wait for a result.
#pragma once

#include "ranging/device/ranging_device.h"

#include <cstdint>

// Waits 1 ms (through the platform's polling delay, so tests can record it).
void PollingDelay();

// Software reset through register 0xBF; waits for 0xC0 to read 0 in reset and non-zero after
// release, each wait giving up after 2000 reads or 100 ms (or the method's bound) with -7. Sets
// deviceState to 0 on success.
SensorStatus VL53L0X_SoftReset(RangingDevice &device);

// Sets *ready to 1 when a result waits. With gpioInterruptMode 4 it tests register 0x13
// (bits 0-2 == 4; bit 3 or 4 set gives -6 with *ready still set), else bit 0 of register 0x14.
SensorStatus VL53L0X_CheckDataReady(RangingDevice &device, uint8_t *ready);

// Polls the ready test up to 2000 times with a 1 ms delay between checks; -7 when no result
// came (also once the method's bound has passed), or the first non-zero status of a check.
SensorStatus VL53L0X_WaitDataReady(RangingDevice &device);
