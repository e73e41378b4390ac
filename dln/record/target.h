// The adapter library the recording library forwards to, loaded at the first call: on Linux
// the libdln.so named by DLN_RECORD_TARGET, on Windows that file or dln-real.dll next to us.
#pragma once

#include "dln_api.h"

#include <string>

namespace dln::record {

// Every function of the C interface, once; the target table and its loading read this list.
#define DLN_RECORD_FUNCTIONS(X)                                                                    \
    X(DlnConnect)                                                                                  \
    X(DlnDisconnect)                                                                               \
    X(DlnOpenDevice)                                                                               \
    X(DlnCloseHandle)                                                                              \
    X(DlnGetVersion)                                                                               \
    X(DlnI2cMasterGetPortCount)                                                                    \
    X(DlnI2cMasterGetFrequency)                                                                    \
    X(DlnI2cMasterEnable)                                                                          \
    X(DlnI2cMasterScanDevices)                                                                     \
    X(DlnI2cMasterWrite)                                                                           \
    X(DlnI2cMasterRead)                                                                            \
    X(DlnSpiMasterGetPortCount)                                                                    \
    X(DlnSpiMasterGetFrequency)                                                                    \
    X(DlnSpiMasterEnable)                                                                          \
    X(DlnSpiMasterSetMode)                                                                         \
    X(DlnSpiMasterGetMode)                                                                         \
    X(DlnSpiMasterSetFrequency)                                                                    \
    X(DlnSpiMasterSetSS)                                                                           \
    X(DlnSpiMasterReadWrite)

struct Target {
#define DLN_RECORD_POINTER(name) decltype(&::name) name = nullptr;
    DLN_RECORD_FUNCTIONS(DLN_RECORD_POINTER)
#undef DLN_RECORD_POINTER
    std::string path; // the file it was loaded from
};

// The loaded target, or null when it cannot be loaded (then one message went to standard
// error at the first call). Loaded once; never unloaded.
const Target *TheTarget();

// The platform's part: opens the target library and finds a function in it. OpenLibrary
// returns null and sets error when it cannot; path receives the file it tried.
void *OpenLibrary(std::string &path, std::string &error);
void *FindFunction(void *library, const char *name);

} // namespace dln::record
