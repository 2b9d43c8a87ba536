// The monotonic clock and local time on every platform, from the standard library; the sleep is per platform.
#include "platform/clock.h"

#include <chrono>
#include <ctime>

int64_t MonotonicNanos() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

std::string LocalTimeText() {
    std::time_t now = std::time(nullptr);
    const char* text = std::ctime(&now);
    return text ? std::string(text) : std::string("\n");
}
