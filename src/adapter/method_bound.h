// Every native method has a bound on its time: its fixed waits plus a margin for its adapter
// calls. The bound of the method running on a thread starts at its first adapter call (so a
// wait for the SPI port or the laser's owner does not use it up); once it has passed, no
// further adapter call is made: the call fails at once with DLN_RES_TIMEOUT and the operation
// ends as it ends on any failure at that step, printing that step's failure lines. Only the
// release of the connection (close and disconnect) still goes out.
#pragma once

#include "dln_api.h"

#include <chrono>

// Sets the bound of the method running on this thread for the life of the object; the bound
// it replaces (if any) comes back afterwards. A zero budget means no bound.
class MethodBound {
  public:
    explicit MethodBound(std::chrono::milliseconds budget);
    ~MethodBound();
    MethodBound(const MethodBound &) = delete;
    MethodBound &operator=(const MethodBound &) = delete;

  private:
    std::chrono::milliseconds previousBudget_;
    bool previousStarted_;
    std::chrono::steady_clock::time_point previousDeadline_;
};

// True once the current method's bound has passed (never before its first adapter call). Also
// starts the bound when it has not started yet, as an adapter call would.
bool MethodBoundPassed();

// Calls the adapter function call(args...) unless the method's bound has passed; then returns
// DLN_RES_TIMEOUT without calling it.
template <class Call, class... Args> DLN_RESULT BoundedCall(Call call, Args... args) {
    if (MethodBoundPassed())
        return DLN_RES_TIMEOUT;
    return call(args...);
}

// True when result is the failure of a call that was not made because the bound had passed:
// a step that otherwise goes on after a failed transfer ends there.
inline bool PastMethodBound(DLN_RESULT result) {
    return result == DLN_RES_TIMEOUT && MethodBoundPassed();
}
