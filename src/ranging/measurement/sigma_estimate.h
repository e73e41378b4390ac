// Fixed-point estimate of a range's standard deviation, from the signal and ambient rates and
// the step timings kept in the record. Unsigned 32-bit arithmetic throughout.
#pragma once

#include "ranging/device/ranging_device.h"

#include <cstdint>

// The largest estimate, 655.53 in 16.16.
inline constexpr uint32_t kSigmaCap = 0x28F87AE;

// The intermediate values of one estimate, kept apart so that each can be checked.
struct SigmaTerms {
    uint32_t ambientKcps = 0;    // a
    uint32_t peakSignalKcps = 0; // p
    uint32_t finalRangeMclks = 0;
    uint32_t preRangeMclks = 0;
    uint32_t vcselDurationUs = 0; // t, peak VCSEL duration
    uint32_t returnEvents = 0;    // e
    uint32_t ambientTerm = 0;     // q
    uint32_t signalTerm = 0;      // g
    uint32_t widthRoot = 0;       // h
    uint32_t returnSigma = 0;     // u
    uint32_t timeoutMs = 0;       // ms, both step timeouts
    uint32_t referenceSigma = 0;  // v
    uint32_t sigma = 0;           // 16.16, at most kSigmaCap
};

// All terms for signal rate S and ambient rate A (16.16 MCPS). A zero peak signal, a VCSEL
// period of 0 or step timeouts summing to less than 500 µs give sigma = kSigmaCap, with the
// terms not yet reached left 0.
SigmaTerms ComputeSigmaTerms(const RangingDevice &device, uint32_t signalRate,
                             uint32_t ambientRate);

// The estimate for a measurement's signalRateReturn and ambientRateReturn (16.16).
uint32_t VL53L0X_EstimateSigma(const RangingDevice &device, const RangingResult &result);

// Largest r with r * r <= n.
uint32_t IntegerSquareRoot(uint32_t n);
