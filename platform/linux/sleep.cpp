// Sleeping on Linux: nanosleep, which wakes within tens of microseconds of the asked time.
#include "platform/clock.h"

#include <cerrno>
#include <ctime>

void SleepNanos(int64_t nanos) {
    if (nanos <= 0) return;
    timespec request{static_cast<time_t>(nanos / 1000000000), static_cast<long>(nanos % 1000000000)};
    timespec rest{};
    while (nanosleep(&request, &rest) != 0 && errno == EINTR) request = rest;
}
