// The simulator window the widget sits on: found under the cursor by its title, then followed (its
// rectangle and the cursor relative to it) once a pass; once it is gone it is never searched for again.
#pragma once
#include "platform/window_system.h"

#include <cstdint>
#include <string>

struct ParentWndRecord {
    PlatformWindow handle = 0; // kept once found, also after the window is gone
    bool found = false;        // handle names a live window
    std::string title;
    std::string targetTitle = "Microsoft Flight Simulator";
    int32_t L = 0, T = 0, R = 0, B = 0;
    int32_t W = 0, H = 0;
    int32_t mX = 0, mY = 0; // cursor relative to the window
    int32_t cursorX = 0, cursorY = 0;
    int32_t Summ = 0; // L + T + R + B
    int32_t lastSumm = 0;
    bool replaceWidget = false; // the widget goes back to its home position at the next placement
};

struct ParentWindowState {
    ParentWndRecord ParentWnd;
    PlatformWindow previousHandle = 0; // the handle at the end of the previous tracking
};
ParentWindowState& ParentWindow();
void ResetParentWindow();

// Once a pass: reads the cursor, follows the simulator window or looks for it under the cursor. When the
// simulator window moved or changed size, the widget (its window `widget`, 0 when there is none; `held` when
// it is hidden with its owner) goes back home if it is showing.
void TrackParentWindow(PlatformWindow widget, bool held);
// The window's title with the low 8 bits of every UTF-16 code unit kept.
std::string GetWindowTitle(PlatformWindow window);
