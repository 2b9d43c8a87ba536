// The frame's state, the exit routine and the pacing of the main loop.
#include "app/frame.h"

#include "app/log.h"
#include "platform/clock.h"
#include "platform/single_instance.h"

#include <algorithm>

FrameState& Frame() {
    static FrameState state;
    return state;
}

void ResetFrame() { Frame() = FrameState{}; }

ClockOps PlatformClock() { return ClockOps{MonotonicNanos, SleepNanos}; }

void ExitApplication(const std::string& reason) {
    FrameState& frame = Frame();
    WriteLog("EXIT: " + reason);
    frame.quitRequested = true;
    const FrameSubsystems& s = frame.subsystems;
    if (s.closeSimulator && (!s.simulatorConnected || s.simulatorConnected())) s.closeSimulator(false);
    if (frame.instanceHeld) {
        ReleaseSingleInstance();
        frame.instanceHeld = false;
    }
    if (s.postQuit) s.postQuit();
}

// Sleeping is cheap but late by a platform-dependent amount; spinning is exact but costs a core. Sleep to
// a margin before the deadline, spin the rest, and learn the margin from how late the sleeps come back.
void PaceTo(int64_t deadline) {
    FrameState& frame = Frame();
    const ClockOps& clock = frame.clock;
    constexpr int64_t kMinMargin = 50000, kMaxMargin = 4000000;
    for (;;) {
        int64_t now = clock.now();
        int64_t remaining = deadline - now;
        if (remaining <= 0) return;
        if (clock.sleep && remaining > frame.sleepMargin) {
            int64_t asked = remaining - frame.sleepMargin;
            clock.sleep(asked);
            int64_t late = clock.now() - now - asked;
            // Follow a late wake-up at once; relax slowly towards twice the usual lateness.
            int64_t wanted = std::clamp<int64_t>(2 * late + kMinMargin, kMinMargin, kMaxMargin);
            frame.sleepMargin = wanted > frame.sleepMargin ? wanted
                                                           : frame.sleepMargin - (frame.sleepMargin - wanted) / 16;
        }
    }
}
