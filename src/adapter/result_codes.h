// The library's own result codes, beside the adapter's DLN_RESULT codes (0x40..0x4F and
// any other value from 0x40 up to 0xFF that a maker's library may use). They start at 0x100,
// which no DLN_RESULT of one byte reaches. NativeSession.java lists the same values.
#pragma once

#include <cstdint>

inline constexpr int32_t kTypedOk = 0;
inline constexpr int32_t kNoSession = 0x100;   // a closed, made-up or stale session handle
inline constexpr int32_t kBadArgument = 0x101; // a null or short array, a value out of range
inline constexpr int32_t kBoundPassed = 0x102; // the call's time bound passed; no more calls made
inline constexpr int32_t kNoTarget = 0x103;    // the ranging sensor saw no target
inline constexpr int32_t kWrongDevice = 0x104; // a device answered, but not as its kind does
inline constexpr int32_t kDeviceBusy = 0x105;  // the device stayed busy past its time
