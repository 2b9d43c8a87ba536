// A desktop for the widget's tests: windows with titles and rectangles, a cursor, a mouse button, the
// widget window's moves and events, and a record of what was drawn, all steered by the test.
#pragma once
#include "widget/widget_platform.h"

#include <deque>
#include <map>
#include <string>
#include <vector>

struct FakeWindow {
    std::u16string title;
    ScreenRect rect;
    bool visible = true;
};

struct FakeText {
    int x = 0, y = 0;
    std::string text; // narrowed back from what was drawn
    uint32_t argb = 0;
};

struct FakeDesktopState {
    std::map<PlatformWindow, FakeWindow> windows; // every live window; the widget's too once created
    PlatformWindow nextHandle = 100;
    PlatformWindow under = 0; // the window TopLevelWindowAt answers for any point
    ScreenPoint cursor;
    bool leftHeld = false;
    int topOffset = 0;
    bool createFails = false;
    bool displayMissing = false;
    WidgetEventHandler handler = nullptr;
    PlatformWindow widget = 0;
    PlatformWindow widgetOwner = 0;
    std::vector<ScreenRect> moves; // MoveWidgetWindow calls, as rectangles
    int repaintRequests = 0;
    bool repaintPending = false;
    std::deque<WidgetEvent> events; // handed over one per PumpWidgetEvent
    // Drawing.
    bool buffer = false;
    int bufferWidth = 0, bufferHeight = 0;
    std::vector<uint32_t> clears;
    std::vector<FakeText> texts;
    std::vector<ScreenRect> fills; // as rectangles of the buffer
    std::vector<uint32_t> fillColours;
    int presents = 0;
    std::vector<std::string> savedPictures;
};
FakeDesktopState& FakeDesktop();
// Empties the desktop and makes it the one the widget sees; also resets the widget's own state.
void UseFakeDesktop();
// The widget's state and everything it draws from (log, frame, monitor, executer, recognition) back to
// their start, on whatever desktop the widget sees.
void ResetWidgetAndItsSources();
// Adds a visible window and returns its handle.
PlatformWindow AddFakeWindow(const std::u16string& title, ScreenRect rect);
WidgetPlatformOps FakeDesktopOps();
