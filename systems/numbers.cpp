// Number reading for the systems files.
#include "systems/numbers.h"

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
