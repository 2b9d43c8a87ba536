// Small helpers for the benchmarks: percentiles, the one printed line per figure, and a wait for a file.
#pragma once
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

inline double Percentile(std::vector<double> values, double p) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    size_t index = static_cast<size_t>(p / 100.0 * static_cast<double>(values.size() - 1) + 0.5);
    return values[std::min(index, values.size() - 1)];
}

inline void PrintFigure(const std::string& bench, const std::string& figure, double value, const std::string& unit) {
    std::printf("bench %s: %s = %.3f %s\n", bench.c_str(), figure.c_str(), value, unit.c_str());
    std::fflush(stdout);
}

// Waits up to `seconds` for a file another thread writes whole (by renaming it into place); false when it
// did not come.
inline bool AwaitFile(const std::string& path, double seconds) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    std::error_code ec;
    while (!std::filesystem::exists(path, ec)) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}
