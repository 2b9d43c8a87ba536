// The stand-in's simulator window: a plain window titled like the simulator's, so that the first
// officer's widget has an owner to find (the cursor is moved over it once), follow and lose. A header of
// inline functions, so that the programs that compile the stand-in's engine into themselves get it too.
#pragma once
#include "tools/simstandin/standin.h"

#include "platform/window_system.h"

#include <cstdio>

namespace standin {

inline bool ParseWindowSize(const std::string& text, int& width, int& height) {
    int w = 0, h = 0;
    char x = 0, rest = 0;
    if (std::sscanf(text.c_str(), "%d%c%d%c", &w, &x, &h, &rest) != 3 || (x != 'x' && x != 'X') || w < 1 ||
        h < 1)
        return false;
    width = w;
    height = h;
    return true;
}

inline void OpenSimulatorWindow(StandIn& s) {
    if (s.options.windowTitle.empty()) return;
    s.window = OpenTestWindow(s.options.windowTitle, s.options.windowWidth, s.options.windowHeight);
    if (s.window == 0) {
        LogLine(s, "no window: there is no desktop to open \"" + s.options.windowTitle + "\" on");
        return;
    }
    MoveCursorTo({s.options.windowWidth / 2, s.options.windowHeight / 2});
    LogLine(s, "window \"" + s.options.windowTitle + "\" open, the cursor over it");
}

inline void PumpSimulatorWindow(StandIn& s) {
    if (s.window != 0) PumpTestWindows();
}

inline void CloseSimulatorWindow(StandIn& s) {
    if (s.window == 0) return;
    CloseTestWindow(s.window);
    s.window = 0;
    LogLine(s, "window closed");
}

} // namespace standin
