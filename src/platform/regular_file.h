// Opening the files the library reads and writes by name ("program.hex", "zz.dat", the file of
// its printed lines) so that a name that is not a file never blocks the caller: a FIFO nobody
// reads or writes would otherwise hold open() for ever.
#pragma once

#include <cstdio>
#include <string>

// The reason given for a name that exists but is not a regular file.
inline constexpr const char *kNotRegularFile = "not a regular file";

// Opens path as fopen(path, mode) would (mode "r", "w" or "a"), refusing anything that is not
// a regular file except the null device, without blocking on it. Returns the stream, owned by
// the caller, or nullptr with why set to a short reason (kNotRegularFile, or strerror's text).
std::FILE *PlatformOpenRegularFile(const char *path, const char *mode, std::string &why);
