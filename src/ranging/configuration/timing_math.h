// Conversions between the sensor's macro clocks (MCLKs) and microseconds, and the 16-bit
// exponent/mantissa form in which the sensor stores step timeouts. Pure functions.
#pragma once

#include <cstdint>

// Register form e:m (high byte exponent, low byte mantissa) to MCLKs: (m << e) + 1, 16 bits.
uint16_t DecodeTimeoutMclks(uint16_t encoded);

// MCLKs to the register form: 0 gives 0; otherwise n - 1 is halved until it fits a byte.
uint16_t EncodeTimeoutMclks(uint32_t mclks);

// Length of one macro clock in nanoseconds for a VCSEL period given in PCLKs.
uint32_t MacroPeriodNs(uint8_t vcselPeriod);

// MCLKs to microseconds, rounded. The product is taken in 64 bits: long periods times large
// counts do not fit 32 bits.
uint32_t MclksToMicros(uint8_t vcselPeriod, uint16_t mclks);

// Microseconds to MCLKs, rounded, in 32-bit arithmetic (products wrap). A VCSEL period of 0
// has no macro period; it gives 0 instead of dividing by zero.
uint32_t MicrosToMclks(uint8_t vcselPeriod, uint32_t us);
