#include "ranging/timing_budget.h"

#include "ranging/sequence_steps.h"
#include "ranging/step_timeouts.h"

namespace {

// Fixed costs in microseconds on top of the step timeouts.
constexpr uint32_t kOverheadUs = 2870;
constexpr uint32_t kTccOverheadUs = 590;
constexpr uint32_t kDssOverheadUs = 1380; // DSS runs the MSRC timeout twice
constexpr uint32_t kMsrcOverheadUs = 660;
constexpr uint32_t kPreRangeOverheadUs = 660;
constexpr uint32_t kFinalRangeOverheadUs = 550;

// Takes cost from *remaining; false (and *remaining untouched) when it does not fit.
bool Spend(uint32_t cost, uint32_t *remaining) {
    if (cost >= *remaining) {
        return false;
    }
    *remaining -= cost;
    return true;
}

} // namespace

SensorStatus VL53L0X_ComputeTimingBudget(RangingDevice &device, uint32_t *us) {
    *us = kOverheadUs;
    SequenceStepFlags flags;
    SensorStatus status = VL53L0X_ReadSequenceSteps(device, &flags);
    if (status != kSensorOk) {
        return status;
    }
    if (flags.tcc || flags.msrc || flags.dss) {
        uint32_t msrcUs = 0;
        status = VL53L0X_ReadStepTimeout(device, kStepMsrc, &msrcUs);
        if (status != kSensorOk) {
            return status;
        }
        if (flags.tcc) {
            *us += msrcUs + kTccOverheadUs;
        }
        if (flags.dss) {
            *us += 2 * msrcUs + kDssOverheadUs;
        } else if (flags.msrc) {
            *us += msrcUs + kMsrcOverheadUs;
        }
    }
    if (flags.preRange) {
        uint32_t preRangeUs = 0;
        status = VL53L0X_ReadStepTimeout(device, kStepPreRange, &preRangeUs);
        *us += preRangeUs + kPreRangeOverheadUs;
        if (status != kSensorOk) {
            return status;
        }
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
    SensorStatus status = VL53L0X_ReadSequenceSteps(device, &flags);
    if (status != kSensorOk) {
        return status;
    }
    if (flags.tcc || flags.msrc || flags.dss) {
        uint32_t msrcUs = 0;
        status = VL53L0X_ReadStepTimeout(device, kStepMsrc, &msrcUs);
        if (status != kSensorOk) {
            return status;
        }
        if (flags.tcc && !Spend(msrcUs + kTccOverheadUs, &remaining)) {
            return kSensorInvalidParams;
        }
        if (flags.dss) {
            if (!Spend(2 * msrcUs + kDssOverheadUs, &remaining)) {
                return kSensorInvalidParams;
            }
        } else if (flags.msrc && !Spend(msrcUs + kMsrcOverheadUs, &remaining)) {
            return kSensorInvalidParams;
        }
    }
    if (flags.preRange) {
        uint32_t preRangeUs = 0;
        status = VL53L0X_ReadStepTimeout(device, kStepPreRange, &preRangeUs);
        if (!Spend(preRangeUs + kPreRangeOverheadUs, &remaining)) {
            return kSensorInvalidParams;
        }
        if (status != kSensorOk) {
            return status;
        }
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
