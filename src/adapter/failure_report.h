// How the operations below the native methods say that they failed, and the lines a failure
// prints. Every layer uses these, so a failed call reads the same wherever it happens.
#pragma once

#include "dln_api.h"

// How an operation ended. What it got before a failure is in the record it returns.
enum class Outcome {
    Done,
    Failed,
};

// The names a failed I2C write and read are reported under.
inline constexpr const char *kI2cWriteName = "DlnI2cMasterWriteDevices";
inline constexpr const char *kI2cReadName = "DlnI2cMasterReadDevices";

// Prints "<name>() failed\n": the one line of a failed transfer or board step.
void ReportFailure(const char *name);

// Prints the two lines of a failed adapter call, "<call>() function returns 0x<result>\n" and
// "<call>() failed\n"; prints nothing when result is a success.
void ReportCallFailure(const char *call, DLN_RESULT result);
