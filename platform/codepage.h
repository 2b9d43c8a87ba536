// Conversion of UTF-16 text from the platform into the system's 8-bit code page.
#pragma once
#include <string>

// Windows: the ANSI code page. Linux: code units below 256 become that byte, others become "?".
std::string NarrowFromUtf16(const std::u16string& wide);
