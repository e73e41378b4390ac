// Reference SPADs: which of the 48 reference SPADs the sensor uses, as a 6-byte enable map in
// its register 0xB0 block (SPAD i is bit i % 8 of byte i / 8). Indices 0-11 are non-aperture
// SPADs, 12-47 aperture SPADs.
#pragma once

#include "ranging/device/ranging_device.h"

#include <cstdint>

// True for an aperture SPAD.
bool IsApertureSpad(uint32_t index);

// Index of the first set bit of goodMap at or after start; -1 when none (or start >= 48).
int32_t VL53L0X_FindNextGoodSpad(const uint8_t *goodMap, int32_t start);

// Enables count good SPADs of one type from start on in enables, writes the map to 0xB0 and
// reads it back. -50 when too few good SPADs of the type follow (nothing is written) or the
// read-back differs. *lastIndex gets the index after the last SPAD enabled, also on -50.
SensorStatus VL53L0X_EnableRefSpads(RangingDevice &device, uint8_t isAperture,
                                    const uint8_t *goodMap, uint8_t *enables, int32_t start,
                                    uint32_t count, int32_t *lastIndex);

// One measurement with only the pre-range and final-range steps; *rate is the reference
// signal rate from page-1 register 0xB6. Restores register 0x01 and sequenceConfig.
SensorStatus VL53L0X_MeasureRefSignalRate(RangingDevice &device, uint16_t *rate);

// Enables count SPADs of the given type from the good-SPAD map without measuring; on success
// stores count and type in the record.
SensorStatus VL53L0X_ApplyRefSpadsFromNvm(RangingDevice &device, uint32_t count,
                                          uint8_t isAperture);

// Writes the register preamble shared by both ways of choosing reference SPADs.
SensorStatus WriteRefSpadPreamble(RangingDevice &device);

// The first aperture SPAD at or after start, stopping at 44.
int32_t SkipToApertureSpad(int32_t start);
