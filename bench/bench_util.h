// Small helpers for the benchmarks: percentiles and the one printed line per figure.
#pragma once
#include <algorithm>
#include <cstdio>
#include <string>
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
