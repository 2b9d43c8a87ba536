// The monotonic clock and local time on every platform, from the standard library.
#include "platform/clock.h"

#include <chrono>
#include <ctime>
#include <thread>

int64_t MonotonicNanos() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void SleepNanos(int64_t nanos) {
    if (nanos > 0) std::this_thread::sleep_for(std::chrono::nanoseconds(nanos));
}

std::string LocalTimeText() {
    std::time_t now = std::time(nullptr);
    const char* text = std::ctime(&now);
    return text ? std::string(text) : std::string("\n");
}
