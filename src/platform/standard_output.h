// Where the library's printed lines go. The library prints with the C library's printf on
// standard output; a program may send those lines to a file or discard them instead, without
// touching the process's standard output itself, to which Java's System.out writes.
#pragma once

#include <string>

// Sends what the library prints on the C library's stdout from now on to target: "discard"
// drops it, any other text is a file path, opened for appending. Call before the first
// printed line, once. Returns false and leaves stdout as it was when the file cannot be opened;
// error then says why.
bool PlatformRouteStandardOutput(const std::string &target, std::string &error);
