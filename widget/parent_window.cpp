// Tracking of the simulator window: adoption under the cursor, the rectangle signature that asks for the
// widget to be re-placed, and the loss that is final for the run.
#include "widget/parent_window.h"

#include "base/helpers.h"
#include "base/log.h"
#include "widget/widget_platform.h"

ParentWindowState& ParentWindow() {
    static ParentWindowState state;
    return state;
}

void ResetParentWindow() {
    ParentWindow() = ParentWindowState();
}

namespace {

bool ReadRect(ParentWndRecord& parent) {
    ScreenRect rect;
    if (!WidgetPlatform().windowRect(parent.handle, rect)) return false;
    parent.L = rect.left;
    parent.T = rect.top;
    parent.R = rect.right;
    parent.B = rect.bottom;
    parent.W = parent.R - parent.L;
    parent.H = parent.B - parent.T;
    parent.Summ = parent.L + parent.T + parent.R + parent.B;
    return true;
}

} // namespace

std::string GetWindowTitle(PlatformWindow window) {
    std::u16string wide = WidgetPlatform().windowTitle(window);
    std::string title;
    title.reserve(wide.size());
    for (char16_t unit : wide) title.push_back(static_cast<char>(unit & 0xFF));
    return title;
}

void TrackParentWindow(PlatformWindow widget, bool held) {
    const WidgetPlatformOps& ops = WidgetPlatform();
    ParentWindowState& state = ParentWindow();
    ParentWndRecord& parent = state.ParentWnd;
    ScreenPoint cursor = ops.cursorPosition();
    parent.cursorX = cursor.x;
    parent.cursorY = cursor.y;

    if (parent.handle != 0) {
        if (ops.windowExists(parent.handle) && ReadRect(parent)) {
            parent.mX = parent.cursorX - parent.L;
            parent.mY = parent.cursorY - parent.T;
            if (parent.Summ != parent.lastSumm) {
                if (widget != 0 && ops.windowVisible(widget) && !held) parent.replaceWidget = true;
                WriteLog("ParentWnd.L=" + ToString(parent.L));
                WriteLog("ParentWnd.R=" + ToString(parent.R));
                WriteLog("ParentWnd.T=" + ToString(parent.T));
                WriteLog("ParentWnd.B=" + ToString(parent.B));
                WriteLog("ParentWnd.H=" + ToString(parent.H));
                WriteLog("ParentWnd.W=" + ToString(parent.W));
                WriteLog("ParentWnd.mX=" + ToString(parent.mX));
                WriteLog("ParentWnd.mY=" + ToString(parent.mY));
                WriteLog("ParentWnd.Summ=" + ToString(parent.Summ));
                parent.lastSumm = parent.Summ;
            }
        } else if (!ops.windowExists(parent.handle)) {
            parent.found = false;
        }
    } else {
        PlatformWindow under = ops.windowAt(cursor);
        if (under != 0) {
            std::string title = GetWindowTitle(under);
            if (title.find(parent.targetTitle) != std::string::npos) {
                parent.handle = under;
                parent.title = title;
                parent.found = true;
                ReadRect(parent);
                if (parent.Summ != parent.lastSumm) parent.lastSumm = parent.Summ;
            }
        }
    }

    if (parent.handle != state.previousHandle) {
        WriteLog("ParentWnd was UPDATED");
        state.previousHandle = parent.handle;
    }
}
