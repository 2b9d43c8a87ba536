// The monotonic clock, a short sleep and the local time text, for pacing the main loop and timing waits.
#pragma once
#include <cstdint>
#include <string>

// Nanoseconds since an arbitrary fixed origin; never goes backwards.
int64_t MonotonicNanos();
// Gives up the processor for about `nanos` (at least; the platform's timer may add a little).
void SleepNanos(int64_t nanos);
// Local date and time in the C library's ctime form, ending with its own line feed.
std::string LocalTimeText();
