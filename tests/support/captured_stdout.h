// Captures what the code under test prints on standard output (file descriptor 1) or standard
// error (file descriptor 2).
#pragma once

#include <cstdio>
#include <string>

class CapturedOutput {
  public:
    explicit CapturedOutput(FILE *stream); // starts capturing stream
    ~CapturedOutput();                     // restores it
    CapturedOutput(const CapturedOutput &) = delete;
    CapturedOutput &operator=(const CapturedOutput &) = delete;
    // Everything printed since the start (or the last take()), and starts afresh.
    std::string take();

  private:
    FILE *stream_;
    int savedFd_ = -1;
    int captureFd_ = -1;
    long readOffset_ = 0;
};

class CapturedStdout : public CapturedOutput {
  public:
    CapturedStdout() : CapturedOutput(stdout) {}
};

class CapturedStderr : public CapturedOutput {
  public:
    CapturedStderr() : CapturedOutput(stderr) {}
};

// Runs action and returns what it printed on standard output.
template <class Action> std::string CaptureStdout(Action &&action) {
    CapturedStdout capture;
    action();
    return capture.take();
}
