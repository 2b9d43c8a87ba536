// A clock for tests: time moves only when the code under test reads it, sleeps, or the test says so.
#include "tests/fakes/fake_clock.h"

FakeClockState& FakeClock() {
    static FakeClockState state;
    return state;
}

void ResetFakeClock() {
    FakeClock() = FakeClockState{};
}

ClockOps FakeClockOps() {
    return ClockOps{[] {
                        FakeClockState& c = FakeClock();
                        ++c.reads;
                        c.now += c.perRead;
                        return c.now;
                    },
                    [](int64_t nanos) {
                        FakeClockState& c = FakeClock();
                        ++c.sleeps;
                        c.slept += nanos;
                        c.now += nanos + c.oversleep;
                    },
                    [](int64_t deadline) {
                        FakeClockState& c = FakeClock();
                        ++c.sleeps;
                        if (deadline <= c.now) return;
                        c.slept += deadline - c.now;
                        // An early timer comes back `early` before a far deadline; a short sleep lands.
                        c.now = deadline - c.early > c.now ? deadline - c.early : deadline + c.oversleep;
                    }};
}
