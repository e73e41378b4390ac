#include "platform/wait.h"

#ifdef _WIN32
#include "platform/windows_wait.h"

#include <windows.h>
#else
#include <time.h>
#endif

namespace {
PlatformWaitHook g_hook = nullptr;

#ifndef _WIN32
void SleepMs(uint32_t ms) {
    timespec left{static_cast<time_t>(ms / 1000), static_cast<long>(ms % 1000) * 1000000L};
    // A signal may cut the sleep short; sleep the rest so the wait is never shorter.
    while (nanosleep(&left, &left) != 0) {
    }
}
#endif
} // namespace

void PlatformSetWaitHook(PlatformWaitHook hook) {
    g_hook = hook;
}

void PlatformSleepMs(uint32_t ms) {
    if (g_hook) {
        g_hook(ms);
        return;
    }
#ifdef _WIN32
    Sleep(ms);
#else
    SleepMs(ms);
#endif
}

void PlatformPollingDelay() {
    if (g_hook) {
        g_hook(1);
        return;
    }
#ifdef _WIN32
    if (!WaitOneMsOnHighResolutionTimer())
        WaitOneMsOnUnsignalledEvent();
#else
    SleepMs(1);
#endif
}
