// Fixed runs of 8-bit register writes, written as data rather than as rows of calls.
#pragma once

#include "ranging/device/ranging_device.h"

#include <cstdint>
#include <initializer_list>

struct RegisterWrite {
    uint8_t index;
    uint8_t value;
};

// Writes each register in order; stops at and returns the first non-zero status.
SensorStatus WriteRegisterList(RangingDevice &device, std::initializer_list<RegisterWrite> writes);
