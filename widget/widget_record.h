// The widget window's record: its handle, size and place, the cursor over it and the mouse's state.
// The window keeps it; the lists read the cursor from it to tell which line a click hit.
#pragma once
#include "platform/window_system.h"

#include <cstdint>
#include <string>

struct WidgetWndRecord {
    PlatformWindow handle = 0;
    int32_t W = 0, H = 0;
    int32_t mX = 0, mY = 0; // cursor relative to the window's top-left corner
    int32_t L = 0, R = 0, T = 0, B = 0;
    int32_t topOffset = 0; // screen y of the client origin minus T
    int32_t Summ = 0;
    std::string LastMouseState; // "UP", "DN", "DBL" or "DRUG"
    int32_t mouseState = 2;     // 1 button down, 2 button up, 4 dragging
    int32_t dragStartL = 0, dragStartT = 0;
    int32_t dragStartCursorX = 0, dragStartCursorY = 0;
    int32_t contentHeight = 0; // set by every paint
};
