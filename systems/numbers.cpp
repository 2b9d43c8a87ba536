// Number reading for the systems files and the load report.
#include "systems/numbers.h"

#include "base/log.h"
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

void ReportSystemsProblem(const std::string& line) {
    WriteLog(line);
    Systems().problems.push_back(line);
}
