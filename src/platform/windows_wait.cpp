#include "platform/windows_wait.h"

#ifdef _WIN32
#include <windows.h>
// After windows.h: the multimedia timer functions need its types.
#include <timeapi.h>

// Older SDK headers lack the flag; systems before Windows 10 1803 refuse it.
#ifndef CREATE_WAITABLE_TIMER_HIGH_RESOLUTION
#define CREATE_WAITABLE_TIMER_HIGH_RESOLUTION 0x00000002
#endif

namespace {

// Holds the timer tick at 1 ms while it lives.
class OneMillisecondTick {
  public:
    OneMillisecondTick() : raised_(timeBeginPeriod(1) == TIMERR_NOERROR) {}
    ~OneMillisecondTick() {
        if (raised_)
            timeEndPeriod(1);
    }
    OneMillisecondTick(const OneMillisecondTick &) = delete;
    OneMillisecondTick &operator=(const OneMillisecondTick &) = delete;

  private:
    bool raised_;
};

} // namespace

bool WaitOneMsOnHighResolutionTimer() {
    HANDLE timer = CreateWaitableTimerExW(nullptr, nullptr, CREATE_WAITABLE_TIMER_HIGH_RESOLUTION,
                                          TIMER_ALL_ACCESS);
    if (timer == nullptr)
        return false;
    LARGE_INTEGER due;
    due.QuadPart = -10000; // negative: relative to now, in 100 ns units
    bool waited = SetWaitableTimer(timer, &due, 0, nullptr, nullptr, FALSE) &&
                  WaitForSingleObject(timer, INFINITE) == WAIT_OBJECT_0;
    CloseHandle(timer);
    return waited;
}

void WaitOneMsOnUnsignalledEvent() {
    // Raised once and kept: raising and lowering the tick around every wait costs more than
    // the wait, and the first waits after a raise may still run on the old tick.
    static OneMillisecondTick tick;
    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (event == nullptr)
        return;
    WaitForSingleObject(event, 1);
    CloseHandle(event);
}
#endif
