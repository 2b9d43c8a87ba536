// The message box on Linux: there is no desktop dependency, so the caption and text go to standard error.
#include <cstdio>
#include <string>

void SystemInfoBox(const std::string& text, const std::string& caption) {
    std::fprintf(stderr, "[%s] %s\n", caption.c_str(), text.c_str());
    std::fflush(stderr);
}
