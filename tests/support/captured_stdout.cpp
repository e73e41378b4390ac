#include "support/captured_stdout.h"

#include <cstdio>
#include <cstdlib>
#include <unistd.h>

CapturedStdout::CapturedStdout() {
    fflush(stdout);
    char path[] = "/tmp/captured_stdout_XXXXXX";
    captureFd_ = mkstemp(path);
    unlink(path);
    savedFd_ = dup(STDOUT_FILENO);
    dup2(captureFd_, STDOUT_FILENO);
}

CapturedStdout::~CapturedStdout() {
    fflush(stdout);
    dup2(savedFd_, STDOUT_FILENO);
    close(savedFd_);
    close(captureFd_);
}

std::string CapturedStdout::take() {
    fflush(stdout);
    std::string text;
    char buffer[4096];
    ssize_t n;
    while ((n = pread(captureFd_, buffer, sizeof buffer, readOffset_)) > 0) {
        text.append(buffer, static_cast<size_t>(n));
        readOffset_ += n;
    }
    return text;
}
