#include "platform/regular_file.h"

#include <cerrno>
#include <cstring>
#include <sys/stat.h>

#ifdef _WIN32
#include <io.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace {

#ifndef _WIN32
bool IsNullDevice(const struct stat &info) {
    struct stat null {};
    return S_ISCHR(info.st_mode) && stat("/dev/null", &null) == 0 && null.st_rdev == info.st_rdev;
}
#endif

} // namespace

#ifdef _WIN32

// Windows has no FIFOs in its file system; a named pipe without a server fails to open at
// once. Devices other than NUL (a COM port, CON) are refused after the open.
std::FILE *PlatformOpenRegularFile(const char *path, const char *mode, std::string &why) {
    std::FILE *file = std::fopen(path, mode);
    if (file == nullptr) {
        why = std::strerror(errno);
        return nullptr;
    }
    struct _stat64 info {};
    const bool regular = _fstat64(_fileno(file), &info) == 0 && (info.st_mode & _S_IFREG) != 0;
    if (!regular && _stricmp(path, "NUL") != 0) {
        std::fclose(file);
        why = kNotRegularFile;
        return nullptr;
    }
    return file;
}

#else

std::FILE *PlatformOpenRegularFile(const char *path, const char *mode, std::string &why) {
    int flags = O_RDONLY;
    if (mode[0] == 'w' || mode[0] == 'a')
        flags = O_WRONLY | O_CREAT | (mode[0] == 'a' ? O_APPEND : 0);
    // Non-blocking, so that a FIFO opens (or fails with ENXIO) at once; truncation waits until
    // the name is known to be a regular file.
    const int fd = open(path, flags | O_NONBLOCK | O_CLOEXEC, 0666);
    if (fd < 0) {
        why = errno == ENXIO ? kNotRegularFile : std::strerror(errno);
        return nullptr;
    }
    struct stat info {};
    if (fstat(fd, &info) != 0 || !(S_ISREG(info.st_mode) || IsNullDevice(info))) {
        close(fd);
        why = kNotRegularFile;
        return nullptr;
    }
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    if (mode[0] == 'w' && S_ISREG(info.st_mode) && ftruncate(fd, 0) != 0) {
        why = std::strerror(errno);
        close(fd);
        return nullptr;
    }
    std::FILE *file = fdopen(fd, mode);
    if (file == nullptr) {
        why = std::strerror(errno);
        close(fd);
    }
    return file;
}

#endif
