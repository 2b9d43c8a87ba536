// Number reading for the systems files and the load report.
#include "systems/numbers.h"

#include "app/log.h"
#include "systems/model.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <limits>

bool ReadLeadingDouble(const std::string& s, double& value) {
    const char* start = s.c_str();
    char* end = nullptr;
    errno = 0;
    double read = std::strtod(start, &end);
    if (end == start) return false;
    if (errno == ERANGE && std::isinf(read)) return false;
    value = read;
    return true;
}

int32_t TruncateToInt32(double v) {
    if (std::isnan(v)) return 0;
    if (v >= 2147483647.0) return std::numeric_limits<int32_t>::max();
    if (v <= -2147483648.0) return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(v);
}

void ReportSystemsProblem(const std::string& line) {
    WriteLog(line);
    Systems().problems.push_back(line);
}
