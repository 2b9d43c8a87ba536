// The desktop's windows: a silent stand-in until the platform's own body comes; there is no desktop, so
// nothing is ever found.
#include "platform/window_system.h"

bool OpenWindowSystem(std::string& whyNot) {
    whyNot = "no window system in this build";
    return false;
}
void CloseWindowSystem() {}
ScreenPoint CursorScreenPosition() {
    return {};
}
PlatformWindow TopLevelWindowAt(ScreenPoint) {
    return 0;
}
std::u16string PlatformWindowTitle(PlatformWindow) {
    return {};
}
bool PlatformWindowExists(PlatformWindow) {
    return false;
}
bool PlatformWindowVisible(PlatformWindow) {
    return false;
}
bool PlatformWindowRect(PlatformWindow, ScreenRect&) {
    return false;
}
PlatformWindow OpenTestWindow(const std::string&, int, int) {
    return 0;
}
void PumpTestWindows() {}
void CloseTestWindow(PlatformWindow) {}
void MoveCursorTo(ScreenPoint) {}
