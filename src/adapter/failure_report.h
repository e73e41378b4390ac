// How the operations below the native methods say that they failed, and the lines a failure
// prints. Every layer uses these, so a failed call reads the same wherever it happens.
#pragma once

#include "adapter/bus.h"
#include "adapter/reporter.h"
#include "dln_api.h"

#include <cstring>

// How an operation ended. What it got before a failure is in the record it returns.
enum class Outcome {
    Done,
    Failed,
};

// The names a failed I2C write and read are reported under.
inline constexpr const char *kI2cWriteName = "DlnI2cMasterWriteDevices";
inline constexpr const char *kI2cReadName = "DlnI2cMasterReadDevices";

// The name a failed transfer is reported under: kI2cWriteName for a write, else kI2cReadName.
inline const char *TransferName(const BusResult &failure) {
    const bool write = failure.step != nullptr && std::strcmp(failure.step, kI2cWriteCall) == 0;
    return write ? kI2cWriteName : kI2cReadName;
}

// Reports "<name>() failed\n": the one line of a failed transfer or board step.
void ReportFailure(const Reporter &reporter, const char *name);

// Reports the two lines of a failed adapter call, "<call>() function returns 0x<result>\n" and
// "<call>() failed\n"; prints nothing when result is a success.
void ReportCallFailure(const Reporter &reporter, const char *call, DLN_RESULT result);
