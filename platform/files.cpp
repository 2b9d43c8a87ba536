// The whole-file read, the same on every platform.
#include "platform/files.h"

#include <cstdio>

std::string ReadWholeFile(const std::string& path, bool* ok) {
    std::string bytes;
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (ok) *ok = f != nullptr;
    if (!f) return bytes;
    char buffer[65536];
    size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, f)) > 0) bytes.append(buffer, got);
    std::fclose(f);
    return bytes;
}
