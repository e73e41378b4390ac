#include "ranging/configuration/timing_math.h"

uint16_t DecodeTimeoutMclks(uint16_t encoded) {
    const uint32_t exponent = encoded >> 8;
    const uint32_t mantissa = encoded & 0xFF;
    // A shift of 32 or more is undefined in C++; every bit would be gone from 16 bits anyway.
    const uint16_t shifted = exponent < 16 ? static_cast<uint16_t>(mantissa << exponent) : 0;
    return static_cast<uint16_t>(shifted + 1);
}

uint16_t EncodeTimeoutMclks(uint32_t mclks) {
    if (mclks == 0) {
        return 0;
    }
    uint32_t mantissa = mclks - 1;
    uint32_t exponent = 0;
    while (mantissa > 255) {
        mantissa >>= 1;
        ++exponent;
    }
    return static_cast<uint16_t>(exponent * 256 + mantissa);
}

uint32_t MacroPeriodNs(uint8_t vcselPeriod) {
    return (static_cast<uint32_t>(vcselPeriod) * 3813120u + 500u) / 1000u;
}

uint32_t MclksToMicros(uint8_t vcselPeriod, uint16_t mclks) {
    const uint64_t ns = static_cast<uint64_t>(mclks) * MacroPeriodNs(vcselPeriod);
    return static_cast<uint32_t>((ns + 500u) / 1000u);
}

uint32_t MicrosToMclks(uint8_t vcselPeriod, uint32_t us) {
    const uint32_t periodNs = MacroPeriodNs(vcselPeriod);
    if (periodNs == 0) {
        return 0;
    }
    return (us * 1000u + periodNs / 2) / periodNs;
}
