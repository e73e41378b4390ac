// The measurement timing budget: the sum of the enabled steps' timeouts and fixed overheads,
// and switching a step off, which hands its time to the final range.
#pragma once

#include "ranging/configuration/sequence_steps.h"
#include "ranging/device/ranging_device.h"

#include <cstdint>

inline constexpr uint32_t kMinTimingBudgetUs = 20000;

// Computes the budget from the sensor's registers into *us and measurementTimingBudgetUs.
SensorStatus VL53L0X_ComputeTimingBudget(RangingDevice &device, uint32_t *us);

// Gives the final range whatever budgetUs leaves after the other enabled steps, by rewriting
// register 0x71, and keeps budgetUs in measurementTimingBudgetUs. -4 without writing anything
// when budgetUs is below 20000 µs or the other steps leave less than 550 µs for the final
// range. With the final range disabled nothing is written or kept and the result is 0.
SensorStatus VL53L0X_ApplyTimingBudget(RangingDevice &device, uint32_t budgetUs);

// Clears the step's bits in register 0x01 (DSS clears bits 3 and 5) and keeps the new value in
// sequenceConfig, then re-applies the record's timing budget (its status is not looked at).
// Writes nothing when the bits were already clear. An id above 4 gives -4 after the read.
SensorStatus VL53L0X_DisableSequenceStep(RangingDevice &device, uint8_t id);
