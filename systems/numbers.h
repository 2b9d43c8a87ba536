// Number reading for the systems files: the standard decimal conversion of a text's leading number,
// without exceptions.
#pragma once
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

// The leading number of `s` (blanks skipped first), as the C library's strtod reads it. False, leaving
// `value` alone, when there is none or it is out of the range of a double.
bool ReadLeadingDouble(const std::string& s, double& value);
// Truncation toward zero that stays defined for NaN (0) and for values beyond 32 bits (saturated).
inline int32_t TruncateToInt32(double v) {
    if (std::isnan(v)) return 0;
    if (v >= 2147483647.0) return std::numeric_limits<int32_t>::max();
    if (v <= -2147483648.0) return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(v);
}
