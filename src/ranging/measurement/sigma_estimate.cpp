#include "ranging/measurement/sigma_estimate.h"

#include "ranging/configuration/timing_math.h"

namespace {

constexpr uint32_t kDurationFactor = 1655;
constexpr uint32_t kPulseTerm = 640000; // 800 squared
constexpr uint32_t kAmbientRatioCap = 0x666666;
constexpr uint32_t kAmbientFactor = 600;
constexpr uint32_t kReturnScale = 2997;
constexpr uint32_t kReturnSigmaCap = 0xF000;
constexpr uint32_t kReferenceNumerator = 0x190000; // 25.0 in 16.16

} // namespace

uint32_t IntegerSquareRoot(uint32_t n) {
    uint32_t bit = 1u << 30;
    uint32_t result = 0;
    while (bit > n) {
        bit >>= 2;
    }
    while (bit != 0) {
        if (n >= result + bit) {
            n -= result + bit;
            result = (result >> 1) + bit;
        } else {
            result >>= 1;
        }
        bit >>= 2;
    }
    return result;
}

SigmaTerms ComputeSigmaTerms(const RangingDevice &device, uint32_t signalRate,
                             uint32_t ambientRate) {
    SigmaTerms terms;
    terms.sigma = kSigmaCap;
    terms.ambientKcps = (ambientRate * 1000u) >> 16;
    terms.peakSignalKcps = (signalRate * 1000u + 0x8000u) >> 16;

    // Without both periods and half a millisecond of step time there is nothing to divide by.
    const uint32_t timeoutMs =
        (device.finalRangeTimeoutUs + device.preRangeTimeoutUs + 500u) / 1000u;
    if (device.finalRangeVcselPeriod == 0 || device.preRangeVcselPeriod == 0 || timeoutMs == 0) {
        return terms;
    }
    terms.finalRangeMclks = MicrosToMclks(device.finalRangeVcselPeriod, device.finalRangeTimeoutUs);
    terms.preRangeMclks = MicrosToMclks(device.preRangeVcselPeriod, device.preRangeTimeoutUs);

    const uint32_t vcselWidth = device.finalRangeVcselPeriod == 8 ? 2 : 3;
    uint32_t duration =
        ((terms.finalRangeMclks + terms.preRangeMclks) * vcselWidth * 2048u + 500u) / 1000u;
    terms.vcselDurationUs = (duration * kDurationFactor + 500u) / 1000u;
    terms.returnEvents = (((signalRate + 0x80u) >> 8) * terms.vcselDurationUs + 0x80u) >> 8;
    if (terms.peakSignalKcps == 0) {
        return terms;
    }
    if (terms.returnEvents == 0) {
        terms.returnEvents = 1;
    }

    uint32_t ratio = (terms.ambientKcps << 16) / terms.peakSignalKcps;
    if (ratio > kAmbientRatioCap) {
        ratio = kAmbientRatioCap;
    }
    terms.ambientTerm = ratio * kAmbientFactor;
    terms.signalTerm = 2 * IntegerSquareRoot(12 * terms.returnEvents);
    const uint32_t ambientRoot = (terms.ambientTerm + 0x8000u) >> 16;
    terms.widthRoot = IntegerSquareRoot(kPulseTerm + ambientRoot * ambientRoot);

    uint32_t returnSigma = (((terms.widthRoot << 16) + 50u) / 100u) / terms.signalTerm;
    returnSigma = (returnSigma * kReturnScale + 5000u) / 10000u;
    terms.returnSigma = returnSigma > kReturnSigmaCap ? kReturnSigmaCap : returnSigma;

    terms.timeoutMs = timeoutMs;
    uint32_t reference =
        IntegerSquareRoot((kReferenceNumerator + terms.timeoutMs / 2) / terms.timeoutMs);
    terms.referenceSigma = ((reference << 8) + 500u) / 1000u;

    const uint32_t sigma = IntegerSquareRoot(terms.returnSigma * terms.returnSigma +
                                             terms.referenceSigma * terms.referenceSigma) *
                           1000u;
    terms.sigma = sigma > kSigmaCap ? kSigmaCap : sigma;
    return terms;
}

uint32_t VL53L0X_EstimateSigma(const RangingDevice &device, const RangingResult &result) {
    return ComputeSigmaTerms(device, result.signalRateReturn, result.ambientRateReturn).sigma;
}
