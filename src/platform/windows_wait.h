// The two ways the 1 ms polling delay waits on Windows, each also timed on its own by a test
// program. Windows ends waits on its timer tick, by default every 15.6 ms, so a plain 1 ms
// time-out lasts up to 16 ms: every sensor poll would stretch, and the driver's 2000-poll
// time-outs would grow from about 2 s to about 30 s.
#pragma once

#ifdef _WIN32
// Waits 1 ms on a one-shot high-resolution waitable timer (Windows 10 1803 and later), which
// fires at its due time whatever the tick. False, without waiting, where the system has none.
bool WaitOneMsOnHighResolutionTimer();

// Waits with a 1 ms time-out on a manual-reset event that nothing signals, with the timer tick
// raised to 1 ms from the first such wait until the library is unloaded. Returns at once when
// no event can be created.
void WaitOneMsOnUnsignalledEvent();
#endif
