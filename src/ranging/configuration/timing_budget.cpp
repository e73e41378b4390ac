#include "ranging/configuration/timing_budget.h"

#include "ranging/bus/register_map.h"
#include "ranging/bus/registers.h"
#include "ranging/configuration/step_timeouts.h"

#include <functional>

namespace {

// Fixed costs in microseconds on top of the step timeouts.
constexpr uint32_t kOverheadUs = 2870;
constexpr uint32_t kTccOverheadUs = 590;
constexpr uint32_t kDssOverheadUs = 1380; // DSS runs the MSRC timeout twice
constexpr uint32_t kMsrcOverheadUs = 660;
constexpr uint32_t kPreRangeOverheadUs = 660;
constexpr uint32_t kFinalRangeOverheadUs = 550;

// AND masks that switch each step off, by id. DSS also clears bit 5, which belongs to it.
constexpr uint8_t kStepDisableMask[] = {0xEF, 0xD7, 0xFB, 0xBF, 0x7F};

// Takes cost from *remaining; false (and *remaining untouched) when it does not fit.
bool Spend(uint32_t cost, uint32_t *remaining) {
    if (cost >= *remaining) {
        return false;
    }
    *remaining -= cost;
    return true;
}

// Reads the enabled steps into *flags and hands the cost of each step that runs before the
// final range to take, in the sensor's order: TCC, then DSS or MSRC (one MSRC timeout read
// serves them all), then pre-range. take returning false ends the walk with -4. A failed
// read ends it with its status, except that the pre-range cost is handed over (and may give
// -4) before its read's status is looked at.
SensorStatus ReadStepCosts(RangingDevice &device, SequenceStepFlags *flags,
                           const std::function<bool(uint32_t costUs)> &take) {
    SensorStatus status = VL53L0X_ReadSequenceSteps(device, flags);
    if (status != kSensorOk) {
        return status;
    }
    if (flags->tcc || flags->msrc || flags->dss) {
        uint32_t msrcUs = 0;
        status = VL53L0X_ReadStepTimeout(device, kStepMsrc, &msrcUs);
        if (status != kSensorOk) {
            return status;
        }
        if (flags->tcc && !take(msrcUs + kTccOverheadUs)) {
            return kSensorInvalidParams;
        }
        if (flags->dss) {
            if (!take(2 * msrcUs + kDssOverheadUs)) {
                return kSensorInvalidParams;
            }
        } else if (flags->msrc && !take(msrcUs + kMsrcOverheadUs)) {
            return kSensorInvalidParams;
        }
    }
    if (flags->preRange) {
        uint32_t preRangeUs = 0;
        status = VL53L0X_ReadStepTimeout(device, kStepPreRange, &preRangeUs);
        if (!take(preRangeUs + kPreRangeOverheadUs)) {
            return kSensorInvalidParams;
        }
    }
    return status;
}

} // namespace

SensorStatus VL53L0X_ComputeTimingBudget(RangingDevice &device, uint32_t *us) {
    *us = kOverheadUs;
    SequenceStepFlags flags;
    SensorStatus status = ReadStepCosts(device, &flags, [us](uint32_t cost) {
        *us += cost;
        return true;
    });
    if (status != kSensorOk) {
        return status;
    }
    if (flags.finalRange) {
        uint32_t finalRangeUs = 0;
        status = VL53L0X_ReadStepTimeout(device, kStepFinalRange, &finalRangeUs);
        *us += finalRangeUs + kFinalRangeOverheadUs;
        if (status != kSensorOk) {
            return status;
        }
    }
    device.CurrentParameters.measurementTimingBudgetUs = *us;
    return kSensorOk;
}

SensorStatus VL53L0X_ApplyTimingBudget(RangingDevice &device, uint32_t budgetUs) {
    if (budgetUs < kMinTimingBudgetUs) {
        return kSensorInvalidParams;
    }
    uint32_t remaining = budgetUs - kOverheadUs;
    SequenceStepFlags flags;
    SensorStatus status = ReadStepCosts(
        device, &flags, [&remaining](uint32_t cost) { return Spend(cost, &remaining); });
    if (status != kSensorOk) {
        return status;
    }
    if (!flags.finalRange) {
        return kSensorOk;
    }
    // Less than the final range's own overhead would wrap into a huge timeout.
    if (remaining < kFinalRangeOverheadUs) {
        return kSensorInvalidParams;
    }
    status = VL53L0X_WriteFinalRangeTimeout(device, remaining - kFinalRangeOverheadUs);
    if (status == kSensorOk) {
        device.CurrentParameters.measurementTimingBudgetUs = budgetUs;
    }
    return status;
}

SensorStatus VL53L0X_DisableSequenceStep(RangingDevice &device, uint8_t id) {
    uint8_t old = 0;
    const SensorStatus status = VL53L0X_ReadReg8(device, kRegSequenceConfig, &old);
    if (id > kStepFinalRange) {
        return kSensorInvalidParams;
    }
    if (status != kSensorOk) {
        return status;
    }
    const uint8_t updated = old & kStepDisableMask[id];
    if (updated == old) {
        return kSensorOk;
    }
    const SensorStatus written = VL53L0X_WriteSequenceConfig(device, updated);
    if (written != kSensorOk) {
        return written;
    }
    // The freed time goes to the final range; a budget that no longer fits keeps the old split.
    (void)VL53L0X_ApplyTimingBudget(device, device.CurrentParameters.measurementTimingBudgetUs);
    return kSensorOk;
}
