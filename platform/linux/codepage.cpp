// UTF-16 to 8-bit text on Linux: the Latin-1 range maps to itself, anything else becomes "?".
#include "platform/codepage.h"

std::string NarrowFromUtf16(const std::u16string& wide) {
    std::string narrow;
    narrow.reserve(wide.size());
    for (char16_t unit : wide) narrow.push_back(unit < 256 ? static_cast<char>(unit) : '?');
    return narrow;
}
