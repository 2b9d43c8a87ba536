// A clock for tests: time moves only when the code under test reads it, sleeps, or the test says so.
#pragma once
#include "app/frame.h"

#include <cstdint>
#include <vector>

struct FakeClockState {
    int64_t now = 1000000000;  // nanoseconds
    int64_t perRead = 1000;    // every reading costs this much (a spin makes progress)
    int64_t oversleep = 80000; // every sleep comes back this much late
    int64_t early = 0;         // a sleep to a far deadline comes back this much before it
    int64_t reads = 0;
    int64_t slept = 0;  // total asked sleep
    int64_t sleeps = 0; // sleeps taken
};
FakeClockState& FakeClock();
void ResetFakeClock();
ClockOps FakeClockOps();
