// UTF-16 to the ANSI code page on Windows.
#include "platform/codepage.h"

#include <windows.h>

std::string NarrowFromUtf16(const std::u16string& wide) {
    if (wide.empty()) return std::string();
    const wchar_t* text = reinterpret_cast<const wchar_t*>(wide.c_str());
    int length = WideCharToMultiByte(CP_ACP, 0, text, static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
    if (length <= 0) return std::string();
    std::string narrow(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(CP_ACP, 0, text, static_cast<int>(wide.size()), narrow.data(), length, nullptr, nullptr);
    return narrow;
}
