// Every register of the ranging sensor that the driver addresses by name, each named once.
// Indices are one byte; register 0xFF selects the page, and unless a comment names another
// page an index means the page-0 register. Rates marked 9.7 hold 7 fractional bits.
#pragma once

#include <cstdint>

// Measurement control and results.
inline constexpr uint8_t kRegSysRangeStart = 0x00;          // bit 0 starts a measurement
inline constexpr uint8_t kRegSequenceConfig = 0x01;         // one bit per sequence step
inline constexpr uint8_t kRegInterMeasurementPeriod = 0x04; // 32-bit, oscillator ticks
inline constexpr uint8_t kRegRangeConfig = 0x09; // bit 0: ranges carry two fractional bits
inline constexpr uint8_t kRegGpioConfig = 0x0A;  // 4: interrupt on a new sample
inline constexpr uint8_t kRegInterruptClear = 0x0B;
inline constexpr uint8_t kRegInterruptStatus = 0x13; // bits 0-2 the cause, 3-4 range errors
inline constexpr uint8_t kRegResultBlock = 0x14;     // 12 bytes; byte 0 is the range status
inline constexpr uint8_t kRegXtalkRate = 0x20;       // 16-bit crosstalk compensation rate
inline constexpr uint8_t kRegRangeOffset = 0x28;     // 16-bit, 12-bit signed count of 250 um
inline constexpr uint8_t kRegGpioActiveHigh = 0x84;  // bit 4: interrupt polarity (also on page 1)

// Limit checks and sequence step timing.
inline constexpr uint8_t kRegFinalRangeMinSignal = 0x44;   // 16-bit 9.7 MCPS, limit check 1
inline constexpr uint8_t kRegMsrcTimeout = 0x46;           // MCLKs - 1
inline constexpr uint8_t kRegPreRangeVcselPeriod = 0x50;   // PCLKs / 2 - 1
inline constexpr uint8_t kRegPreRangeTimeout = 0x51;       // 16-bit exponent/mantissa MCLKs
inline constexpr uint8_t kRegMsrcConfig = 0x60;            // bits 0 and 4 switch checks 4, 5 off
inline constexpr uint8_t kRegPreRangeMinSignal = 0x64;     // 16-bit 9.7 MCPS, checks 4 and 5
inline constexpr uint8_t kRegFinalRangeVcselPeriod = 0x70; // PCLKs / 2 - 1
inline constexpr uint8_t kRegFinalRangeTimeout = 0x71;     // 16-bit, includes the pre-range MCLKs

// The sensor's private registers: 0x80 opens them, then pages 1, 6 and 7 are reached through
// 0xFF. With the private access open and page 1 selected, index 0x00 is a private control
// register rather than the range start.
inline constexpr uint8_t kRegPrivateAccess = 0x80;
inline constexpr uint8_t kRegNvmControl = 0x81;   // page 7: 1 while the NVM window is open
inline constexpr uint8_t kRegNvmStrobe = 0x83;    // page 6/7: strobe and ready flag
inline constexpr uint8_t kRegNvmData = 0x90;      // page 6/7: the 32-bit NVM word read
inline constexpr uint8_t kRegStopVariable = 0x91; // private page 1
inline constexpr uint8_t kRegNvmAddress = 0x94;   // page 6/7: the NVM word to read
inline constexpr uint8_t kRegPageSelect = 0xFF;

// Reference SPADs and reference calibration.
inline constexpr uint8_t kRegRefSpadStartOffset = 0x4F;    // page 1
inline constexpr uint8_t kRegRefSpadRequestedCount = 0x4E; // page 1
inline constexpr uint8_t kRegSpadEnables = 0xB0;           // 6 bytes, one bit per reference SPAD
inline constexpr uint8_t kRegRefSignalRate = 0xB6;         // page 1: 16-bit reference signal rate
inline constexpr uint8_t kRegRefSpadStartSelect = 0xB6;    // page 0: where the enable map starts
inline constexpr uint8_t kRegVhvResult = 0xCB;             // page 6
inline constexpr uint8_t kRegPhaseResult = 0xEE;           // page 6

// Reset, identification and the oscillator.
inline constexpr uint8_t kRegSoftReset = 0xBF;      // 0 holds the sensor in reset
inline constexpr uint8_t kRegIdentification = 0xC0; // 4 bytes; reads 0 while in reset
inline constexpr uint8_t kRegOscCalibration = 0xF8; // 16-bit, oscillator ticks per ms
