// Lines the library prints that tests of several operations expect.
#pragma once

#include <string>

// The description of the simulated adapter, as the connection prints it.
inline const std::string kAdapterInfo =
    "DLN-4M\n\nHardware Version:1.0.0.0\nserverVersion:0.3.1.0\nlibraryVersion:0.4.2.0\n";

// The two lines of an adapter call that failed with code.
inline std::string FailedCallLines(const std::string &call, const char *code = "0x4F") {
    return call + "() function returns " + code + "\n" + call + "() failed\n";
}
