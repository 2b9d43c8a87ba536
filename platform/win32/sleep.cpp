// Sleeping on Windows: a high-resolution waitable timer where the system has one; otherwise Sleep with
// the timer resolution raised to 1 ms, since the default 15.6 ms tick would make every pass late.
#include "platform/clock.h"

#include <windows.h>
#include <timeapi.h>

#ifndef CREATE_WAITABLE_TIMER_HIGH_RESOLUTION
#define CREATE_WAITABLE_TIMER_HIGH_RESOLUTION 0x00000002
#endif

namespace {
HANDLE HighResolutionTimer() {
    static HANDLE timer = [] {
        HANDLE t = CreateWaitableTimerExW(nullptr, nullptr, CREATE_WAITABLE_TIMER_HIGH_RESOLUTION, TIMER_ALL_ACCESS);
        if (!t) timeBeginPeriod(1);
        return t;
    }();
    return timer;
}
} // namespace

void SleepNanos(int64_t nanos) {
    if (nanos <= 0) return;
    if (HANDLE timer = HighResolutionTimer()) {
        LARGE_INTEGER due;
        due.QuadPart = -(nanos / 100); // relative, in 100 ns units
        if (due.QuadPart == 0) due.QuadPart = -1;
        if (SetWaitableTimer(timer, &due, 0, nullptr, nullptr, FALSE)) {
            WaitForSingleObject(timer, INFINITE);
            return;
        }
    }
    DWORD ms = static_cast<DWORD>(nanos / 1000000);
    Sleep(ms);
}
