// The widget window and its drawing: creation over the simulator window, placement and drag, the mouse
// rules of the window procedure, and the full redraw of the panels into the back buffer every pass.
#include "widget/widget_window.h"

#include "base/frame_state.h"
#include "base/helpers.h"
#include "base/log.h"
#include "flow/monitor.h"
#include "speech/recognition_state.h"
#include "widget/parent_window.h"
#include "widget/widget_lists.h"
#include "widget/widget_platform.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

const std::array<PaletteColour, 22> WidgetPalette = {{
    {0.00f, 0.00f, 0.00f}, {1.00f, 1.00f, 1.00f}, {0.00f, 0.75f, 1.00f}, {0.00f, 1.00f, 0.00f},
    {1.00f, 0.00f, 1.00f}, {1.00f, 1.00f, 0.00f}, {1.00f, 0.60f, 0.30f}, {1.00f, 0.00f, 0.00f},
    {0.70f, 0.70f, 0.70f}, {0.60f, 0.60f, 0.60f}, {0.50f, 0.50f, 0.50f}, {0.40f, 0.40f, 0.40f},
    {0.00f, 0.35f, 0.00f}, {0.50f, 0.30f, 0.15f}, {0.00f, 0.00f, 0.00f}, {0.00f, 1.00f, 1.00f},
    {0.20f, 0.20f, 0.20f}, {0.10f, 0.10f, 0.10f}, {0.80f, 0.80f, 0.80f}, {0.90f, 0.90f, 0.90f},
    {0.90f, 0.90f, 0.90f}, {0.70f, 0.70f, 0.00f},
}};

WidgetWindowState& WidgetWindow() {
    static WidgetWindowState state;
    return state;
}

void ResetWidgetWindow() {
    WidgetWindow() = WidgetWindowState();
}

namespace {

uint32_t ColourByte(float value) {
    return static_cast<uint32_t>(static_cast<int>(value * 255.0f) % 256) & 0xFF;
}

bool Ending() {
    return Frame().quitRequested;
}

bool WidgetShown() {
    const WidgetWndRecord& wnd = WidgetWindow().WidgetWnd;
    return wnd.handle != 0 && WidgetPlatform().windowVisible(wnd.handle);
}

// A picture of the widget in the snapshot folder each time the expected answers change, for the demo and
// the README; nothing when the folder is not there.
void TakeSnapshotIfAsked() {
    WidgetWindowState& widget = WidgetWindow();
    const std::vector<std::string>& answers = MonitorData().expectedAnswers;
    if (widget.snapshotTaken && answers == widget.snapshotAnswers) return;
    widget.snapshotTaken = true;
    widget.snapshotAnswers = answers;
    std::error_code error;
    if (!std::filesystem::is_directory(kWidgetSnapshotFolder, error)) return;
    char name[64];
    std::snprintf(name, sizeof name, "/widget-%03d.png", ++widget.snapshotCount);
    const WidgetWndRecord& wnd = widget.WidgetWnd;
    WidgetPlatform().savePng(std::string(kWidgetSnapshotFolder) + name, kWidgetWidth,
                             wnd.contentHeight + wnd.topOffset);
}

} // namespace

uint32_t PaletteArgb(int index) {
    if (index < 0 || index >= static_cast<int>(WidgetPalette.size())) index = 0;
    const PaletteColour& c = WidgetPalette[static_cast<size_t>(index)];
    return 0xFF000000u | ColourByte(c.red) << 16 | ColourByte(c.green) << 8 | ColourByte(c.blue);
}

void StartWidgetSubsystem() {
    const WidgetPlatformOps& ops = WidgetPlatform();
    WidgetWindowState& widget = WidgetWindow();
    std::string whyNot;
    widget.available = ops.openWindowSystem(whyNot);
    if (!widget.available) {
        WriteLog("Widget not shown: " + whyNot);
        return;
    }
    ops.startGraphics();
}

void RegisterWidgetClass() {
    WidgetWindowState& widget = WidgetWindow();
    if (!widget.available || widget.classRegistered) return;
    WidgetPlatform().registerClass(WidgetWindowProc);
    widget.classRegistered = true;
}

void TrackAndPlaceWidget() {
    if (!WidgetWindow().available) return;
    TrackParentWindow(WidgetWindow().WidgetWnd.handle, WidgetWindow().widgetHeld);
    EnsureWidgetWindow();
    if (WidgetWindow().WidgetWnd.handle != 0) WidgetPlatform().pumpEvent();
    PlaceWidgetWindow();
}

void DestroyWidget() {
    WidgetWndRecord& wnd = WidgetWindow().WidgetWnd;
    if (wnd.handle == 0) return;
    PlatformWindow handle = wnd.handle;
    WidgetPlatform().destroyWindow(handle);
    wnd.handle = 0;
}

void ShutdownWidgetSubsystem() {
    WidgetWindowState& widget = WidgetWindow();
    if (!widget.available) return;
    WidgetPlatform().stopGraphics();
    WidgetPlatform().closeWindowSystem();
}

void RefreshWidgetWnd() {
    const WidgetPlatformOps& ops = WidgetPlatform();
    WidgetWndRecord& wnd = WidgetWindow().WidgetWnd;
    if (wnd.handle == 0 || !ops.windowExists(wnd.handle)) return;
    ScreenRect rect;
    if (!ops.windowRect(wnd.handle, rect)) return;
    const ParentWndRecord& parent = ParentWindow().ParentWnd;
    wnd.L = rect.left;
    wnd.T = rect.top;
    wnd.R = rect.right;
    wnd.B = rect.bottom;
    wnd.W = wnd.R - wnd.L;
    wnd.H = wnd.B - wnd.T;
    wnd.mX = parent.cursorX - wnd.L;
    wnd.mY = parent.cursorY - wnd.T;
    wnd.topOffset = ops.clientTopOffset(wnd.handle);
    wnd.Summ = wnd.L + wnd.R + wnd.T + wnd.B;
}

void EnsureWidgetWindow() {
    WidgetWindowState& widget = WidgetWindow();
    if (widget.widgetHeld) return;
    const WidgetPlatformOps& ops = WidgetPlatform();
    const ParentWndRecord& parent = ParentWindow().ParentWnd;
    WidgetWndRecord& wnd = widget.WidgetWnd;
    if (parent.found) {
        if (wnd.handle != 0) {
            if (ops.windowVisible(wnd.handle)) RefreshWidgetWnd();
            return;
        }
        wnd.handle =
            ops.createWindow(parent.handle, parent.L + kWidgetHomeOffset, parent.T + kWidgetHomeOffset,
                             kWidgetWidth, parent.H - kWidgetHomeHeightCut);
        if (wnd.handle == 0) {
            if (!Ending()) ExitApplication("Widget window was NOT created");
            return;
        }
        RefreshWidgetWnd();
        WriteLog("Widget window was created");
    } else if (wnd.handle != 0 && !Ending()) {
        ExitApplication("Parent window no (more) exist for Widget");
    }
}

void PlaceWidgetWindow() {
    WidgetWindowState& widget = WidgetWindow();
    WidgetWndRecord& wnd = widget.WidgetWnd;
    if (widget.widgetHeld || !WidgetShown()) return;
    const WidgetPlatformOps& ops = WidgetPlatform();
    ParentWndRecord& parent = ParentWindow().ParentWnd;
    if (wnd.mouseState == 4) {
        ops.moveWindow(wnd.handle, parent.cursorX - wnd.dragStartCursorX + wnd.dragStartL,
                       parent.cursorY - wnd.dragStartCursorY + wnd.dragStartT, wnd.W, wnd.H);
        return;
    }
    if (parent.replaceWidget) {
        ops.moveWindow(wnd.handle, parent.L + kWidgetHomeOffset, parent.T + kWidgetHomeOffset, kWidgetWidth,
                       parent.H - kWidgetHomeHeightCut);
        parent.replaceWidget = false;
    } else if (wnd.H != wnd.contentHeight + wnd.topOffset) {
        ops.moveWindow(wnd.handle, wnd.L, wnd.T, wnd.W, wnd.contentHeight + wnd.topOffset);
    }
    ops.requestRepaint(wnd.handle);
}

void WidgetWindowProc(const WidgetEvent& event) {
    WidgetWindowState& widget = WidgetWindow();
    WidgetWndRecord& wnd = widget.WidgetWnd;
    const ParentWndRecord& parent = ParentWindow().ParentWnd;
    switch (event.kind) {
    case WidgetEventKind::buttonDown:
        wnd.LastMouseState = "DN";
        wnd.dragStartL = wnd.L;
        wnd.dragStartT = wnd.T;
        wnd.dragStartCursorX = parent.cursorX;
        wnd.dragStartCursorY = parent.cursorY;
        wnd.mouseState = 1;
        break;
    case WidgetEventKind::buttonUp:
        if (wnd.mouseState == 1) ProcessWidgetClick(wnd);
        wnd.mouseState = 2;
        if (wnd.LastMouseState != "DBL") wnd.LastMouseState = "UP";
        break;
    case WidgetEventKind::doubleClick:
        wnd.LastMouseState = "DBL";
        break;
    case WidgetEventKind::mouseMove:
        if (wnd.mouseState == 1) {
            wnd.mouseState = 4;
            wnd.LastMouseState = "DRUG";
        } else if (WidgetPlatform().leftButtonHeld()) {
        } else {
            wnd.mouseState = 2;
            wnd.LastMouseState = "UP";
        }
        break;
    case WidgetEventKind::paint:
        if (event.pictureLost) widget.pictureLost = true;
        PaintWidget();
        break;
    case WidgetEventKind::shown:
        widget.widgetHeld = false;
        break;
    case WidgetEventKind::hidden:
        if (event.parentClosing) widget.widgetHeld = true;
        break;
    case WidgetEventKind::destroyed:
        if (!Ending()) ExitApplication("Widget was WM_DESTROY");
        break;
    }
}

void PaintWidget() {
    const WidgetPlatformOps& ops = WidgetPlatform();
    WidgetWindowState& widget = WidgetWindow();
    const WidgetWndRecord& wnd = widget.WidgetWnd;
    bool fresh = !ops.bufferExists();
    if (fresh) {
        const ParentWndRecord& parent = ParentWindow().ParentWnd;
        ops.createBuffer(parent.W, parent.H);
        ops.clearBuffer(kFirstPaintArgb);
    }
    // Every pass lays the widget out anew (the rows a click is matched against); it is drawn and handed to
    // the window only when the picture differs from the one the window shows.
    WidgetPicture& picture = widget.nextPicture;
    LayOutWidget(picture);
    picture.place = {wnd.L, wnd.T, wnd.W, wnd.H};
    if (fresh || widget.pictureLost || !(picture == widget.shownPicture)) {
        ops.clearBuffer(kClearArgb);
        DrawWidgetPicture(picture);
        ops.present(wnd.handle, wnd.L, wnd.T, wnd.W, wnd.H);
        std::swap(widget.shownPicture, picture);
        widget.pictureLost = false;
    }
    TakeSnapshotIfAsked();
}

void LayOutWidget(WidgetPicture& picture) {
    BuildWidgetLines();
    WidgetWndRecord& wnd = WidgetWindow().WidgetWnd;
    std::vector<WidgetPanel>& panels = WidgetLists().SelectWidgetVector;
    int rows = 6;
    for (const WidgetPanel& panel : panels) {
        if (panel.expanded) rows += static_cast<int>(panel.Lines.size());
    }
    wnd.contentHeight = kWidgetRowHeight * rows;
    picture.top = wnd.topOffset;
    picture.contentHeight = wnd.contentHeight;
    size_t count = 0;
    // Reuses the strings of the previous layout, so a pass that changes nothing allocates nothing.
    auto text = [&picture, &count](int paletteIndex, int x, int y) -> std::string& {
        if (count == picture.texts.size()) picture.texts.emplace_back();
        WidgetTextItem& item = picture.texts[count++];
        item.paletteIndex = paletteIndex;
        item.x = x;
        item.y = y;
        return item.text;
    };

    const std::string& runName = MonitorData().currentRunName;
    const std::string& displayPhrase = Recognition().displayPhrase;
    int y = wnd.topOffset + kFirstRowTop;
    int row = 0;
    for (size_t position = 0; position < panels.size(); ++position) {
        WidgetPanel& panel = panels[position];
        std::string& heading = text(panel.headerColour, kHeadingX, y);
        heading = panel.title;
        heading += "(";
        heading += ToString(static_cast<int>(panel.Lines.size()));
        if (position == TitleExpAnswers && !displayPhrase.empty()) {
            heading += ") ... ";
            heading += displayPhrase;
        } else {
            heading += ")";
        }
        y += kWidgetRowHeight;
        panel.row = row++;
        bool runList = position == TitleProcedures || position == TitleChecklists;
        for (WidgetLine& line : panel.Lines) {
            if (!panel.expanded) {
                line.row = -1;
                continue;
            }
            int colour = line.colour;
            if (runList && !runName.empty()) colour = line.text == runName ? 3 : 12;
            text(colour, kLineX, y) = line.text;
            y += kWidgetRowHeight;
            line.row = row++;
        }
    }
    picture.texts.resize(count);
}

void DrawWidgetPicture(const WidgetPicture& picture) {
    WidgetPlatform().fillRect(0, picture.top, kWidgetWidth, picture.contentHeight, kBackgroundArgb);
    for (const WidgetTextItem& item : picture.texts)
        DrawWidgetText(item.paletteIndex, item.x, item.y, item.text);
}

void DrawWidget() {
    WidgetPicture picture;
    LayOutWidget(picture);
    DrawWidgetPicture(picture);
}

void DrawWidgetText(int paletteIndex, int x, int y, const std::string& text) {
    const WidgetPlatformOps& ops = WidgetPlatform();
    std::u16string wide = Widen(text);
    ops.drawText(x - 1, y + 1, wide, kShadowArgb);
    ops.drawText(x, y, wide, PaletteArgb(paletteIndex));
}
