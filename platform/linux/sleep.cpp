// Sleeping on Linux: nanosleep for a span; clock_nanosleep on an absolute deadline of the monotonic clock
// (the clock MonotonicNanos reads), which the kernel's high-resolution timers keep to within tens of
// microseconds.
#include "platform/clock.h"

#include <cerrno>
#include <ctime>

void SleepNanos(int64_t nanos) {
    if (nanos <= 0) return;
    timespec request{static_cast<time_t>(nanos / 1000000000), static_cast<long>(nanos % 1000000000)};
    timespec rest{};
    while (nanosleep(&request, &rest) != 0 && errno == EINTR) request = rest;
}

void SleepUntilNanos(int64_t deadline) {
    if (deadline <= 0) return;
    timespec at{static_cast<time_t>(deadline / 1000000000), static_cast<long>(deadline % 1000000000)};
    // An absolute deadline: a signal that interrupts the sleep does not stretch it.
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &at, nullptr) == EINTR) {
    }
}
