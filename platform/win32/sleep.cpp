// Sleeping on Windows: a high-resolution waitable timer where the system has one (Windows 10 1803 and
// later); otherwise Sleep with the timer resolution raised to 1 ms, since the default 15.6 ms tick would
// make every pass late. Neither keeps to an absolute deadline of the monotonic clock, so a deadline is
// turned into a span just before the wait.
#include "platform/clock.h"

#include <windows.h>
// After windows.h, which it needs.
#include <timeapi.h>

#ifndef CREATE_WAITABLE_TIMER_HIGH_RESOLUTION
#define CREATE_WAITABLE_TIMER_HIGH_RESOLUTION 0x00000002
#endif

namespace {
HANDLE HighResolutionTimer() {
    static HANDLE timer = [] {
        HANDLE t =
            CreateWaitableTimerExW(nullptr, nullptr, CREATE_WAITABLE_TIMER_HIGH_RESOLUTION, TIMER_ALL_ACCESS);
        if (!t) timeBeginPeriod(1);
        return t;
    }();
    return timer;
}

// Waits on the high-resolution timer; false when there is none or it could not be set.
bool WaitOnTimer(int64_t nanos) {
    HANDLE timer = HighResolutionTimer();
    if (!timer) return false;
    LARGE_INTEGER due;
    due.QuadPart = -((nanos + 99) / 100); // relative, in 100 ns units, rounded up
    if (!SetWaitableTimer(timer, &due, 0, nullptr, nullptr, FALSE)) return false;
    WaitForSingleObject(timer, INFINITE);
    return true;
}
} // namespace

void SleepNanos(int64_t nanos) {
    if (nanos <= 0) return;
    if (WaitOnTimer(nanos)) return;
    DWORD ms = static_cast<DWORD>(nanos / 1000000);
    Sleep(ms);
}

void SleepUntilNanos(int64_t deadline) {
    int64_t remaining = deadline - MonotonicNanos();
    if (remaining <= 0) return;
    if (WaitOnTimer(remaining)) return;
    // With a 1 ms tick, Sleep(n) ends between n and n + 1 ms: sleep the whole milliseconds left, and the
    // last fraction as one tick, so that the caller's next look at the clock finds the deadline passed.
    DWORD ms = static_cast<DWORD>(remaining / 1000000);
    Sleep(ms > 0 ? ms : 1);
}
