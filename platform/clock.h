// The monotonic clock, a short sleep and the local time text, for pacing the main loop and timing waits.
#pragma once
#include <cstdint>
#include <string>

// Nanoseconds since an arbitrary fixed origin; never goes backwards.
int64_t MonotonicNanos();
// Gives up the processor for about `nanos` (at least; the platform's timer may add a little).
void SleepNanos(int64_t nanos);
// Gives up the processor until MonotonicNanos() reaches `deadline`, as precisely as the platform's timers
// allow (well under a millisecond late where it has high-resolution timers), without spinning. It may
// come back a little early on a platform whose timers do not keep to the monotonic clock: a caller that
// must not run early reads the clock and sleeps again.
void SleepUntilNanos(int64_t deadline);
// Local date and time in the C library's ctime form, ending with its own line feed.
std::string LocalTimeText();
