// The desktop's windows as the widget sees them: the cursor, the top-level window under a point, a
// window's title, rectangle and visibility; and a stand-in simulator window for the tools and tests.
// Windows answers from the user interface (GetCursorPos, WindowFromPoint, GetWindowTextW, ...); Linux from
// the X server named by DISPLAY (an X11 or XWayland window of a simulator running under Proton).
#pragma once
#include <cstdint>
#include <string>

// A top-level window of the desktop: the HWND on Windows, the X window id on Linux; 0 is no window.
using PlatformWindow = uint64_t;

// All coordinates are screen pixels: x to the right, y down, (0, 0) the top-left of the primary screen.
struct ScreenPoint {
    int32_t x = 0;
    int32_t y = 0;
};
// A window's outer rectangle, frame included (GetWindowRect); right and bottom are one past the last
// pixel, so right - left is the width.
struct ScreenRect {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;
};

// Opens the connection to the desktop, once; later calls return the first answer. False, with a short
// reason for the log ("no display", "the X server at :3 refused the connection"), where there is no
// desktop: then every other operation here answers "no window" and nothing is shown. Windows always has
// one and returns true.
bool OpenWindowSystem(std::string& whyNot);
// Closes the connection opened above (Linux); nothing on Windows. Safe without an open.
void CloseWindowSystem();

// The cursor's screen position; (0, 0) when it cannot be read.
ScreenPoint CursorScreenPosition();
// The top-level window under the screen point (WindowFromPoint, then its root ancestor: GA_ROOT), or 0
// over the desktop or where nothing can be asked.
PlatformWindow TopLevelWindowAt(ScreenPoint point);
// The window's title as UTF-16 code units (GetWindowTextW; on Linux _NET_WM_NAME, else WM_NAME read as
// Latin-1); empty when it has none or cannot be read.
std::u16string PlatformWindowTitle(PlatformWindow window);
// Whether the id still names a live window (IsWindow).
bool PlatformWindowExists(PlatformWindow window);
// Whether the window is shown (IsWindowVisible; on Linux: mapped and viewable).
bool PlatformWindowVisible(PlatformWindow window);
// The window's outer rectangle in screen coordinates; false (rect unchanged) when it is gone.
bool PlatformWindowRect(PlatformWindow window, ScreenRect& rect);

// A stand-in for the simulator's window, for the simulator stand-in and the tests: a plain, shown,
// top-level window with this title (8-bit text, widened byte by byte), its client area width x height,
// placed at the top-left of the screen where the window manager allows. Opens the window system if it
// is not open. 0 when it cannot be made.
PlatformWindow OpenTestWindow(const std::string& title, int width, int height);
// Handles every event waiting for the test windows of this process without waiting (a message pump
// that never blocks); call it about every 20 ms while a test window is open.
void PumpTestWindows();
// Destroys a window made by OpenTestWindow. Safe with 0.
void CloseTestWindow(PlatformWindow window);
// Moves the cursor to the screen point (SetCursorPos; XWarpPointer on the root window).
void MoveCursorTo(ScreenPoint point);
