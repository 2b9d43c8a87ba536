// The desktop and the widget window on Windows, for real: a stand-in simulator window found under the
// cursor by its title, the layered widget window owned by it, and the messages the widget is handed.
// Under wine these need an X display: cmake/wine-run.sh gives this program a private Xvfb.
#include "platform/widget_window.h"
#include "platform/window_system.h"
#include "tests/platform_win32/under_wine.h"
#include "tests/platform_win32/xvfb_screen.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace {

HWND Handle(PlatformWindow window) {
    return reinterpret_cast<HWND>(static_cast<uintptr_t>(window));
}

const char kSimulatorTitle[] = "Microsoft Flight Simulator - test";

// What the widget was handed, in order; a paint shows the picture the test asked for.
struct HandedOver {
    std::vector<WidgetEvent> events;
    std::function<void()> paint;
    int Count(WidgetEventKind kind) const {
        int count = 0;
        for (const WidgetEvent& event : events) count += event.kind == kind ? 1 : 0;
        return count;
    }
};
HandedOver& Handed() {
    static HandedOver handed;
    return handed;
}
void Record(const WidgetEvent& event) {
    Handed().events.push_back(event);
    if (event.kind == WidgetEventKind::paint && Handed().paint) Handed().paint();
}

// Passes of the main loop's kind, until `done` or the passes run out: the test windows' messages, then
// the widget's one message.
bool PumpUntil(const std::function<bool()>& done, int passes = 200) {
    for (int pass = 0; pass < passes; ++pass) {
        if (done()) return true;
        PumpTestWindows();
        PumpWidgetEvent();
        Sleep(2);
    }
    return done();
}

void Mouse(DWORD flags, int dx = 0, int dy = 0) {
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dx = dx;
    input.mi.dy = dy;
    input.mi.dwFlags = flags;
    SendInput(1, &input, sizeof input);
}

class WidgetDesktopTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (WineWithoutDisplay())
            GTEST_SKIP() << "wine without an X display; cmake/wine-run.sh gives this program a private Xvfb";
        std::string whyNot;
        ASSERT_TRUE(OpenWindowSystem(whyNot)) << whyNot;
        StartWidgetGraphics();
        RegisterWidgetWindowClass(Record);
        Handed() = HandedOver{};
        simulator = OpenTestWindow(kSimulatorTitle, 800, 600);
        ASSERT_NE(simulator, 0u);
        ASSERT_TRUE(PlatformWindowRect(simulator, simulatorRect));
        PumpUntil([] { return false; }, 20);
    }
    void TearDown() override {
        if (widget != 0 && PlatformWindowExists(widget)) DestroyWidgetWindow(widget);
        CloseTestWindow(simulator);
        PumpUntil([] { return false; }, 10);
        ReleaseWidgetBuffer();
        Handed() = HandedOver{};
    }
    // The widget window 100 pixels into the simulator window, 400 x 300.
    void CreateWidget() {
        widget = CreateWidgetWindow(simulator, simulatorRect.left + 100, simulatorRect.top + 100, 400, 300);
        ASSERT_NE(widget, 0u);
    }
    // Paints the widget as the widget does: alpha 1 everywhere, the background in the top 108 rows with
    // an opaque red patch in it, or with `holes` alpha 0 below row 200; shown at the window's place.
    void PaintAndShow(bool holes = false) {
        Handed().paint = [this, holes] {
            CreateWidgetBuffer(800, 600);
            ClearWidgetBuffer(holes ? 0x00000000 : 0x01000000);
            if (holes) FillWidgetRect(0, 0, 400, 200, 0x01000000);
            FillWidgetRect(0, 0, 400, 108, 0xB2000000);
            FillWidgetRect(200, 40, 100, 30, 0xFFFF0000);
            ScreenRect rect;
            PlatformWindowRect(widget, rect);
            PresentWidgetBuffer(widget, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top);
        };
        int paints = Handed().Count(WidgetEventKind::paint);
        RequestWidgetRepaint(widget);
        ASSERT_TRUE(PumpUntil([paints] { return Handed().Count(WidgetEventKind::paint) > paints; }));
    }
    ScreenPoint InWidget(int x, int y) const {
        ScreenRect rect;
        PlatformWindowRect(widget, rect);
        return {rect.left + x, rect.top + y};
    }

    PlatformWindow simulator = 0;
    PlatformWindow widget = 0;
    ScreenRect simulatorRect;
};

TEST(WindowSystemTest, OpensWhereWindowsCanBeMadeAndSaysWhyNotElsewhere) {
    bool desktop = !WineWithoutDisplay();
    std::string whyNot = "left over";
    EXPECT_EQ(OpenWindowSystem(whyNot), desktop);
    EXPECT_EQ(whyNot.empty(), desktop) << whyNot;
    EXPECT_EQ(OpenWindowSystem(whyNot), desktop) << "the first answer stands";
}

TEST_F(WidgetDesktopTest, SimulatorWindowIsFoundUnderTheCursorWithItsTitle) {
    EXPECT_TRUE(PlatformWindowExists(simulator));
    EXPECT_TRUE(PlatformWindowVisible(simulator));
    EXPECT_GE(simulatorRect.right - simulatorRect.left, 800);
    EXPECT_GE(simulatorRect.bottom - simulatorRect.top, 600);

    ScreenPoint middle{(simulatorRect.left + simulatorRect.right) / 2,
                       (simulatorRect.top + simulatorRect.bottom) / 2};
    MoveCursorTo(middle);
    ScreenPoint cursor = CursorScreenPosition();
    EXPECT_EQ(cursor.x, middle.x);
    EXPECT_EQ(cursor.y, middle.y);
    EXPECT_EQ(TopLevelWindowAt(cursor), simulator);
    EXPECT_EQ(PlatformWindowTitle(simulator), u"Microsoft Flight Simulator - test");

    // Title bytes above 127 are widened one by one.
    PlatformWindow accented = OpenTestWindow("Microsoft Flight Simulator \xE9t\xE9", 200, 100);
    ASSERT_NE(accented, 0u);
    EXPECT_EQ(PlatformWindowTitle(accented), u"Microsoft Flight Simulator \u00e9t\u00e9");
    CloseTestWindow(accented);
    EXPECT_FALSE(PlatformWindowExists(accented));
    EXPECT_EQ(PlatformWindowTitle(accented), u"");

    if (UnderWine()) {
        // The bare desktop of the virtual screen is no window.
        EXPECT_EQ(TopLevelWindowAt({2500, 1550}), 0u);
    }
}

TEST_F(WidgetDesktopTest, WidgetIsALayeredBorderlessWindowOwnedByTheSimulatorWindow) {
    CreateWidget();
    HWND handle = Handle(widget);
    EXPECT_EQ(GetWindow(handle, GW_OWNER), Handle(simulator));
    EXPECT_NE(GetWindowLongPtrW(handle, GWL_EXSTYLE) & WS_EX_LAYERED, 0);
    EXPECT_EQ(GetWindowLongPtrW(handle, GWL_STYLE) & (WS_CAPTION | WS_THICKFRAME | WS_SYSMENU), 0);
    EXPECT_TRUE(PlatformWindowVisible(widget));
    EXPECT_EQ(Handed().Count(WidgetEventKind::shown), 1) << "shown as it was created";

    ScreenRect rect;
    ASSERT_TRUE(PlatformWindowRect(widget, rect));
    EXPECT_EQ(rect.left, simulatorRect.left + 100);
    EXPECT_EQ(rect.top, simulatorRect.top + 100);
    EXPECT_EQ(rect.right - rect.left, 400);
    EXPECT_EQ(rect.bottom - rect.top, 300);
    int topOffset = WidgetClientTopOffset(widget);
    EXPECT_GE(topOffset, 0);
    EXPECT_LT(topOffset, 40) << "no caption is left above the client area";

    MoveWidgetWindow(widget, simulatorRect.left + 50, simulatorRect.top + 60, 400, 126);
    ASSERT_TRUE(PlatformWindowRect(widget, rect));
    EXPECT_EQ(rect.left, simulatorRect.left + 50);
    EXPECT_EQ(rect.top, simulatorRect.top + 60);
    EXPECT_EQ(rect.bottom - rect.top, 126);

    DestroyWidgetWindow(widget);
    ASSERT_FALSE(Handed().events.empty());
    EXPECT_EQ(Handed().events.back().kind, WidgetEventKind::destroyed)
        << "handed over before the call returns";
    EXPECT_FALSE(PlatformWindowExists(widget));
}

TEST_F(WidgetDesktopTest, RepaintIsHandedOverOnceAndThePictureTakesTheMouse) {
    CreateWidget();
    ScreenPoint background = InWidget(100, 50);
    ScreenPoint invisible = InWidget(200, 250);

    PaintAndShow();
    EXPECT_EQ(Handed().Count(WidgetEventKind::paint), 1);
    // The paint validated the window: with nothing else waiting, no second paint comes.
    PumpUntil([] { return false; }, 30);
    EXPECT_EQ(Handed().Count(WidgetEventKind::paint), 1);
    EXPECT_FALSE(PumpWidgetEvent());
    EXPECT_EQ(TopLevelWindowAt(background), widget);
    EXPECT_EQ(TopLevelWindowAt(invisible), widget) << "alpha 1 is invisible but still the widget's";
    if (!XvfbScreenFile().empty()) {
        // The X server shows what the window was handed, alpha and all.
        ScreenPoint red = InWidget(250, 55);
        EXPECT_EQ(XvfbScreenPixelSoon(red.x, red.y, 0xFFFF0000), 0xFFFF0000u);
        EXPECT_EQ(XvfbScreenPixelSoon(background.x, background.y, 0xB2000000), 0xB2000000u);
        EXPECT_EQ(XvfbScreenPixelSoon(invisible.x, invisible.y, 0x01000000), 0x01000000u);
    }
}

TEST_F(WidgetDesktopTest, OnlyThePicturesVisiblePixelsTakeTheMouse) {
    if (UnderWine())
        GTEST_SKIP()
            << "wine 8 hit-tests a layered window before its first picture, and lets the mouse through "
               "all of it once one pixel has alpha 0 (the widget's paint leaves none)";
    CreateWidget();
    ScreenPoint background = InWidget(100, 50);
    ScreenPoint hole = InWidget(200, 250);
    EXPECT_EQ(TopLevelWindowAt(background), simulator) << "a layered window is nothing before its picture";
    PaintAndShow(true);
    EXPECT_EQ(TopLevelWindowAt(background), widget);
    EXPECT_EQ(TopLevelWindowAt(hole), simulator) << "alpha 0 lets the mouse through";
}

TEST_F(WidgetDesktopTest, MouseButtonAndMovesAreHandedOver) {
    CreateWidget();
    PaintAndShow();
    MoveCursorTo(InWidget(200, 50));
    PumpUntil([] { return false; }, 20);
    Handed().events.clear();

    Mouse(MOUSEEVENTF_LEFTDOWN);
    ASSERT_TRUE(PumpUntil([] { return Handed().Count(WidgetEventKind::buttonDown) == 1; }));
    EXPECT_TRUE(LeftButtonHeld());
    Mouse(MOUSEEVENTF_MOVE, 1, 0);
    EXPECT_TRUE(PumpUntil([] { return Handed().Count(WidgetEventKind::mouseMove) >= 1; }));
    Mouse(MOUSEEVENTF_LEFTUP);
    ASSERT_TRUE(PumpUntil([] { return Handed().Count(WidgetEventKind::buttonUp) == 1; }));
    EXPECT_FALSE(LeftButtonHeld());

    // A quick second press is a double click instead of a press (the class asks for double clicks).
    Sleep(600);
    PumpUntil([] { return false; }, 10);
    Handed().events.clear();
    Mouse(MOUSEEVENTF_LEFTDOWN);
    Mouse(MOUSEEVENTF_LEFTUP);
    Mouse(MOUSEEVENTF_LEFTDOWN);
    Mouse(MOUSEEVENTF_LEFTUP);
    ASSERT_TRUE(PumpUntil([] { return Handed().Count(WidgetEventKind::buttonUp) == 2; }));
    EXPECT_EQ(Handed().Count(WidgetEventKind::buttonDown), 1);
    EXPECT_EQ(Handed().Count(WidgetEventKind::doubleClick), 1);
}

TEST_F(WidgetDesktopTest, WidgetHidesAndShowsWithItsMinimisedOwner) {
    CreateWidget();
    PaintAndShow();
    Handed().events.clear();
    ShowWindow(Handle(simulator), SW_MINIMIZE);
    PumpUntil([] { return Handed().Count(WidgetEventKind::hidden) > 0; }, 50);
    if (Handed().Count(WidgetEventKind::hidden) == 0 && UnderWine()) {
        ShowWindow(Handle(simulator), SW_RESTORE);
        GTEST_SKIP() << "wine 8 leaves an owned window shown when its owner is minimised";
    }
    ASSERT_EQ(Handed().Count(WidgetEventKind::hidden), 1);
    EXPECT_TRUE(Handed().events.back().parentClosing);
    EXPECT_FALSE(PlatformWindowVisible(widget));
    ShowWindow(Handle(simulator), SW_RESTORE);
    EXPECT_TRUE(PumpUntil([] { return Handed().Count(WidgetEventKind::shown) == 1; }, 50));
    EXPECT_TRUE(PlatformWindowVisible(widget));
}

} // namespace
