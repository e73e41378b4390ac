// The waits of the library. Every wait goes through here so that tests can record waits
// instead of sleeping; the real library really waits.
#pragma once

#include <cstdint>

// Waits ms milliseconds (the boards' 100 ms and 10 ms settling waits).
void PlatformSleepMs(uint32_t ms);

// Waits 1 ms: on Windows on a high-resolution timer, or where the system has none with a time-out
// on an event nothing signals (platform/windows_wait.h; returns at once only when Windows can
// make neither); elsewhere it sleeps.
void PlatformPollingDelay();

// Replaces both waits: the hook receives the wait in milliseconds (1 for a polling delay).
// Pass nullptr to restore the real waits. Not thread-safe; meant for tests.
using PlatformWaitHook = void (*)(uint32_t ms);
void PlatformSetWaitHook(PlatformWaitHook hook);
