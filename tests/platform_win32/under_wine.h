// Whether the Windows tests run under wine, whose SAPI creates a voice that cannot speak and has no
// shared recogniser: the tests hold wine to those failure paths and real Windows to the general promise.
#pragma once
#include <windows.h>

inline bool UnderWine() {
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

// Wine without an X display cannot make windows; cmake/wine-run.sh gives the test program a private Xvfb.
inline bool WineWithoutDisplay() {
    wchar_t display[64] = {};
    return UnderWine() && GetEnvironmentVariableW(L"DISPLAY", display, 64) == 0;
}
