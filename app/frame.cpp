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

// Sleeping is cheap but wakes late by a platform-dependent amount; spinning is exact but costs a core.
// Sleep to a margin before the deadline and spin the rest. The margin is twice the usual lateness of a
// wake-up (a running average, so one wake-up delayed by a busy machine does not make every pass spin).
void PaceTo(int64_t deadline) {
    FrameState& frame = Frame();
    const ClockOps& clock = frame.clock;
    constexpr int64_t kMinMargin = 50000, kMaxMargin = 2000000;
    for (;;) {
        int64_t now = clock.now();
        int64_t remaining = deadline - now;
        if (remaining <= 0) return;
        if (clock.sleep && remaining > frame.sleepMargin) {
            int64_t asked = remaining - frame.sleepMargin;
            clock.sleep(asked);
            int64_t late = std::max<int64_t>(0, clock.now() - now - asked);
            frame.sleepLateness += (late - frame.sleepLateness) / 8;
            frame.sleepMargin = std::clamp<int64_t>(2 * frame.sleepLateness + kMinMargin, kMinMargin, kMaxMargin);
        }
    }
}
