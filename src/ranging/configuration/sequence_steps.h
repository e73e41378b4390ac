// The sensor's sequence steps (enabled by bits of register 0x01) and its two VCSEL periods.
#pragma once

#include "ranging/device/ranging_device.h"

#include <cstdint>

// Step ids as callers name them; the bits in register 0x01 follow a different order.
inline constexpr uint8_t kStepTcc = 0;
inline constexpr uint8_t kStepDss = 1;
inline constexpr uint8_t kStepMsrc = 2;
inline constexpr uint8_t kStepPreRange = 3;
inline constexpr uint8_t kStepFinalRange = 4;

// The enabled steps, each 0 or 1. Field order is the sensor's, not the id order.
struct SequenceStepFlags {
    uint8_t tcc = 0;
    uint8_t msrc = 0;
    uint8_t dss = 0;
    uint8_t preRange = 0;
    uint8_t finalRange = 0;
};

// Splits a register 0x01 value into the five step flags.
SequenceStepFlags SequenceStepsFromRegister(uint8_t value);

// Reads register 0x01 into *flags; returns the read's status.
SensorStatus VL53L0X_ReadSequenceSteps(RangingDevice &device, SequenceStepFlags *flags);

// VCSEL period types: the pre-range period lives in register 0x50, the final-range one in 0x70.
inline constexpr uint8_t kVcselPreRange = 0;
inline constexpr uint8_t kVcselFinalRange = 1;

// *period = (register + 1) * 2 PCLKs, kept to 8 bits. Another type gives -4 without traffic.
SensorStatus VL53L0X_ReadVcselPeriod(RangingDevice &device, uint8_t type, uint8_t *period);
