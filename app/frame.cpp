// The platform's clock and the pacing of the main loop.
#include "app/frame.h"

#include "platform/clock.h"

ClockOps PlatformClock() {
    return ClockOps{MonotonicNanos, SleepNanos, SleepUntilNanos};
}

// A pass waits for its start on the platform's precise timers, not on a spin: the simulator beside us needs
// the processor more than a pass needs to start within microseconds (its own frames are 15 to 35 ms
// apart). A timer may come back early where it does not keep to the monotonic clock, so the clock has
// the last word: the wait goes on until the deadline has truly passed.
void PaceTo(int64_t deadline) {
    FrameState& frame = Frame();
    const ClockOps& clock = frame.clock;
    while (clock.now() < deadline) {
        if (!clock.sleepUntil) continue; // a clock that cannot sleep is spun on
        clock.sleepUntil(deadline);
        ++frame.pacingSleeps;
    }
}
