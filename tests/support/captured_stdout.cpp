#include "support/captured_stdout.h"

#include <cstdlib>
#include <unistd.h>

CapturedOutput::CapturedOutput(FILE *stream) : stream_(stream) {
    fflush(stream_);
    char path[] = "/tmp/captured_output_XXXXXX";
    captureFd_ = mkstemp(path);
    unlink(path);
    savedFd_ = dup(fileno(stream_));
    dup2(captureFd_, fileno(stream_));
}

CapturedOutput::~CapturedOutput() {
    fflush(stream_);
    dup2(savedFd_, fileno(stream_));
    close(savedFd_);
    close(captureFd_);
}

std::string CapturedOutput::take() {
    fflush(stream_);
    std::string text;
    char buffer[4096];
    ssize_t n;
    while ((n = pread(captureFd_, buffer, sizeof buffer, readOffset_)) > 0) {
        text.append(buffer, static_cast<size_t>(n));
        readOffset_ += n;
    }
    return text;
}
