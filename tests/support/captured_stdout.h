// Captures what the code under test prints on standard output (file descriptor 1).
#pragma once

#include <string>

class CapturedStdout {
  public:
    CapturedStdout();  // starts capturing
    ~CapturedStdout(); // restores standard output
    // Everything printed since the start (or the last take()), and starts afresh.
    std::string take();

  private:
    int savedFd_ = -1;
    int captureFd_ = -1;
    long readOffset_ = 0;
};

// Runs action and returns what it printed on standard output.
template <class Action> std::string CaptureStdout(Action &&action) {
    CapturedStdout capture;
    action();
    return capture.take();
}
