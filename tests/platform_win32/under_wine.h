// Whether the Windows tests run under wine, whose SAPI creates a voice that cannot speak and has no
// shared recogniser: the tests hold wine to those failure paths and real Windows to the general promise.
#pragma once
#include <windows.h>

inline bool UnderWine() {
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}
