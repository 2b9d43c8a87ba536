// The widget's test desktop: every platform service of the widget answered from FakeDesktopState.
#include "tests/fakes/fake_desktop.h"

#include "app/frame.h"
#include "base/log.h"
#include "flow/executer.h"
#include "flow/monitor.h"
#include "speech/recognition_state.h"
#include "widget/parent_window.h"
#include "widget/widget_lists.h"
#include "widget/widget_window.h"

FakeDesktopState& FakeDesktop() {
    static FakeDesktopState state;
    return state;
}

void UseFakeDesktop() {
    FakeDesktop() = FakeDesktopState();
    WidgetPlatform() = FakeDesktopOps();
    ResetWidgetLists();
    ResetWidgetWindow();
    ResetParentWindow();
}

void ResetWidgetAndItsSources() {
    ResetLog();
    ResetFrame();
    ResetMonitor();
    ResetExecuter();
    ResetRecognition();
    ResetWidgetLists();
    ResetWidgetWindow();
    ResetParentWindow();
}

PlatformWindow AddFakeWindow(const std::u16string& title, ScreenRect rect) {
    FakeDesktopState& d = FakeDesktop();
    PlatformWindow handle = d.nextHandle++;
    d.windows[handle] = {title, rect, true};
    return handle;
}

namespace {

FakeWindow* Find(PlatformWindow window) {
    auto found = FakeDesktop().windows.find(window);
    return found == FakeDesktop().windows.end() ? nullptr : &found->second;
}

} // namespace

WidgetPlatformOps FakeDesktopOps() {
    WidgetPlatformOps ops;
    ops.openWindowSystem = [](std::string& whyNot) {
        if (FakeDesktop().displayMissing) whyNot = "no display";
        return !FakeDesktop().displayMissing;
    };
    ops.closeWindowSystem = [] {};
    ops.cursorPosition = [] { return FakeDesktop().cursor; };
    ops.windowAt = [](ScreenPoint) {
        return Find(FakeDesktop().under) ? FakeDesktop().under : PlatformWindow(0);
    };
    ops.windowTitle = [](PlatformWindow w) { return Find(w) ? Find(w)->title : std::u16string(); };
    ops.windowExists = [](PlatformWindow w) { return Find(w) != nullptr; };
    ops.windowVisible = [](PlatformWindow w) { return Find(w) && Find(w)->visible; };
    ops.windowRect = [](PlatformWindow w, ScreenRect& rect) {
        if (!Find(w)) return false;
        rect = Find(w)->rect;
        return true;
    };
    ops.startGraphics = [] {};
    ops.stopGraphics = [] {};
    ops.registerClass = [](WidgetEventHandler handler) { FakeDesktop().handler = handler; };
    ops.createWindow = [](PlatformWindow owner, int x, int y, int width, int height) -> PlatformWindow {
        FakeDesktopState& d = FakeDesktop();
        if (d.createFails) return 0;
        d.widget = AddFakeWindow(u"Select Widget", {x, y, x + width, y + height});
        d.widgetOwner = owner;
        return d.widget;
    };
    ops.destroyWindow = [](PlatformWindow w) {
        FakeDesktopState& d = FakeDesktop();
        d.windows.erase(w);
        if (d.handler) d.handler({WidgetEventKind::destroyed, false});
    };
    ops.pumpEvent = [] {
        FakeDesktopState& d = FakeDesktop();
        if (!d.handler) return false;
        if (!d.events.empty()) {
            WidgetEvent event = d.events.front();
            d.events.pop_front();
            d.handler(event);
            return true;
        }
        if (!d.repaintPending) return false;
        d.repaintPending = false;
        d.handler({WidgetEventKind::paint, false});
        return true;
    };
    ops.moveWindow = [](PlatformWindow w, int x, int y, int width, int height) {
        FakeDesktop().moves.push_back({x, y, x + width, y + height});
        if (Find(w)) Find(w)->rect = {x, y, x + width, y + height};
    };
    ops.requestRepaint = [](PlatformWindow) {
        ++FakeDesktop().repaintRequests;
        FakeDesktop().repaintPending = true;
    };
    ops.leftButtonHeld = [] { return FakeDesktop().leftHeld; };
    ops.clientTopOffset = [](PlatformWindow) { return FakeDesktop().topOffset; };
    ops.createBuffer = [](int width, int height) {
        FakeDesktopState& d = FakeDesktop();
        if (d.buffer) return;
        d.buffer = true;
        d.bufferWidth = width;
        d.bufferHeight = height;
    };
    ops.bufferExists = [] { return FakeDesktop().buffer; };
    ops.clearBuffer = [](uint32_t argb) { FakeDesktop().clears.push_back(argb); };
    ops.fillRect = [](int x, int y, int width, int height, uint32_t argb) {
        FakeDesktop().fills.push_back({x, y, x + width, y + height});
        FakeDesktop().fillColours.push_back(argb);
    };
    ops.drawText = [](int x, int y, const std::u16string& text, uint32_t argb) {
        std::string narrow;
        for (char16_t c : text) narrow.push_back(static_cast<char>(c));
        FakeDesktop().texts.push_back({x, y, narrow, argb});
    };
    ops.present = [](PlatformWindow, int, int, int, int) { ++FakeDesktop().presents; };
    ops.savePng = [](const std::string& path, int, int) {
        FakeDesktop().savedPictures.push_back(path);
        return true;
    };
    return ops;
}
