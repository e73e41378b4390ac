#include "platform/standard_output.h"

#include "platform/regular_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

#ifdef _WIN32
constexpr const char *kNullDevice = "NUL";
#else
constexpr const char *kNullDevice = "/dev/null";
#endif

} // namespace

bool PlatformRouteStandardOutput(const std::string &target, std::string &error) {
    const bool discard = target == "discard";
    const char *path = discard ? kNullDevice : target.c_str();
    // Opened first on its own, so that a path that cannot be opened (or is a FIFO or device)
    // leaves stdout untouched.
    FILE *file = PlatformOpenRegularFile(path, discard ? "w" : "a", error);
    if (file == nullptr)
        return false;
    std::fflush(stdout);
#ifdef _WIN32
    // The C runtime's stdout cannot be assigned; freopen points it at the file. It closes the
    // runtime's descriptor 1 and with it the console or pipe handle that Java's System.out
    // also writes to, so the handle is protected from that close.
    std::fclose(file);
    HANDLE shared = GetStdHandle(STD_OUTPUT_HANDLE);
    DWORD flags = 0;
    const bool protect =
        shared != nullptr && shared != INVALID_HANDLE_VALUE && GetHandleInformation(shared, &flags);
    if (protect)
        SetHandleInformation(shared, HANDLE_FLAG_PROTECT_FROM_CLOSE,
                             HANDLE_FLAG_PROTECT_FROM_CLOSE);
    FILE *reopened = std::freopen(path, discard ? "w" : "a", stdout);
    if (protect)
        SetHandleInformation(shared, HANDLE_FLAG_PROTECT_FROM_CLOSE,
                             flags & HANDLE_FLAG_PROTECT_FROM_CLOSE);
    if (reopened == nullptr) {
        error = std::strerror(errno);
        return false;
    }
    file = reopened;
#else
    // glibc's stdout is a plain variable: pointing it at the file redirects every printf of
    // the process's C code and leaves descriptor 1 to Java.
    stdout = file;
#endif
    // Whole lines reach the file at once, as they would a terminal, so a crash loses none.
    std::setvbuf(file, nullptr, _IOLBF, BUFSIZ);
    return true;
}
