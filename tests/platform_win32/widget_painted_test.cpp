// The widget's own code on the Windows bodies: a known state painted through GDI+ and read back pixel by
// pixel (background, rows, colours, the grey shadow), and, under Xvfb, whole passes that find the stand-in
// simulator window under the cursor, create the widget owned by it, paint it and take a click.
#include "app/frame.h"
#include "base/log.h"
#include "flow/executer.h"
#include "flow/monitor.h"
#include "platform/widget_window.h"
#include "platform/window_system.h"
#include "speech/recognition_state.h"
#include "tests/fakes/fake_desktop.h"
#include "tests/fakes/test_support.h"
#include "tests/platform_win32/under_wine.h"
#include "tests/platform_win32/xvfb_screen.h"
#include "widget/parent_window.h"
#include "widget/widget_lists.h"
#include "widget/widget_platform.h"
#include "widget/widget_window.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

constexpr uint32_t kBackground = 0xB2000000;
constexpr uint32_t kShadow = 0xFF646464;

struct Box {
    int left = 1 << 30, top = 1 << 30, right = -1, bottom = -1; // right and bottom inclusive
    bool Empty() const { return right < 0; }
    void Add(int x, int y) {
        left = std::min(left, x);
        right = std::max(right, x);
        top = std::min(top, y);
        bottom = std::max(bottom, y);
    }
};

// One row of the widget as the buffer holds it: which pixels differ from the background.
struct RowPicture {
    int top = 0;
    std::vector<uint32_t> pixels; // 400 x 18
    uint32_t At(int x, int y) const { return pixels[static_cast<size_t>((y - top) * 400 + x)]; }
    Box Ink() const {
        Box box;
        for (int y = top; y < top + 18; ++y)
            for (int x = 0; x < 400; ++x)
                if (At(x, y) != kBackground) box.Add(x, y);
        return box;
    }
};
RowPicture ReadRow(int top) {
    RowPicture row;
    row.top = top;
    for (int y = top; y < top + 18; ++y)
        for (int x = 0; x < 400; ++x) row.pixels.push_back(WidgetBufferPixel(x, y));
    return row;
}

class WidgetPaintedTest : public ::testing::Test {
protected:
    InstallationFolder install;

    void SetUp() override {
        ResetWidgetAndItsSources();
        WidgetPlatform() = PlatformWidgetOps();
        BuildWidgetTitles();
        ReleaseWidgetBuffer();
    }
    void TearDown() override {
        ReleaseWidgetBuffer();
        ResetWidgetWindow();
        ResetParentWindow();
    }
};

TEST_F(WidgetPaintedTest, PaintedStateReadsBackRowByRow) {
    StartWidgetGraphics();
    MonitorData().menuGroups = {{"PROCEDURES", {"Before Start", "Engine Start"}}};
    MonitorData().currentRunName = "Engine Start";
    MonitorData().expectedAnswers = {"flaps up"};
    ExecuterData().recentPhrases = {"Flaps five"};
    Recognition().displayPhrase = "flaps up";
    WidgetLists().SelectWidgetVector[TitleProcedures].expanded = 1;
    const int topOffset = 2;
    WidgetWindow().WidgetWnd.topOffset = topOffset;
    ParentWindow().ParentWnd.W = 800; // the back buffer takes the simulator window's size
    ParentWindow().ParentWnd.H = 600;

    struct Row {
        int x;
        const char16_t* text;
        uint32_t argb;
    };
    const Row rows[] = {
        {10, u"PROCEDURES(2)", 0xFFFFFFFF},
        {20, u"Before Start", 0xFF005900}, // another procedure runs: palette 12
        {20, u"Engine Start", 0xFF00FF00}, // the one running: palette 3
        {10, u"CHECKLISTS(0)", 0xFFFFFFFF},
        {10, u"COMMANDS(0)", 0xFFFFFFFF},
        {10, u"EXPECTED ANSWERS(1) ... flaps up", 0xFFFFFFFF},
        {20, u"flaps up", 0xFFB2B200},
        {10, u"TALVERO PHRASES(1)", 0xFFFFFFFF},
        {20, u"Flaps five", 0xFF00BFFF},
    };
    const int count = static_cast<int>(std::size(rows));
    auto rowTop = [&](int row) { return topOffset + 4 + 18 * row; };

    // Each row's text alone, shadowless, through the body: what the widget's rows must be built from.
    CreateWidgetBuffer(800, 600);
    std::vector<RowPicture> alone;
    for (int i = 0; i < count; ++i) {
        ClearWidgetBuffer(kBackground);
        DrawWidgetBufferText(rows[i].x, rowTop(i), rows[i].text, rows[i].argb);
        alone.push_back(ReadRow(rowTop(i)));
        ASSERT_FALSE(alone.back().Ink().Empty()) << "no text drawn: is there an Arial?";
    }
    ReleaseWidgetBuffer();

    PaintWidget();
    ASSERT_TRUE(WidgetBufferExists());
    const int content = 18 * (6 + count - 5);
    EXPECT_EQ(WidgetWindow().WidgetWnd.contentHeight, content);
    // The background band: 0xB2 black from the top offset down the content's height, 400 wide; alpha 1
    // elsewhere, so the rest of the window is invisible.
    EXPECT_EQ(WidgetBufferPixel(395, topOffset - 1), 0x01000000u);
    EXPECT_EQ(WidgetBufferPixel(395, topOffset), kBackground);
    EXPECT_EQ(WidgetBufferPixel(395, topOffset + content - 1), kBackground);
    EXPECT_EQ(WidgetBufferPixel(395, topOffset + content), 0x01000000u);
    EXPECT_EQ(WidgetBufferPixel(400, topOffset + 10), 0x01000000u);
    EXPECT_EQ(WidgetBufferPixel(799, 599), 0x01000000u);

    for (int i = 0; i < count; ++i) {
        SCOPED_TRACE(testing::Message() << "row " << i);
        RowPicture painted = ReadRow(rowTop(i));
        Box text = alone[static_cast<size_t>(i)].Ink();
        Box ink = painted.Ink();
        // The row holds its text and a copy of it one pixel left and one down, and nothing else.
        EXPECT_EQ(ink.left, text.left - 1);
        EXPECT_EQ(ink.top, text.top);
        EXPECT_EQ(ink.right, text.right);
        EXPECT_EQ(ink.bottom, text.bottom + 1);
        int textPixels = 0, shadowPixels = 0;
        for (int y = painted.top; y < painted.top + 18; ++y)
            for (int x = 0; x < 400; ++x) {
                uint32_t own = alone[static_cast<size_t>(i)].At(x, y);
                uint32_t pixel = painted.At(x, y);
                if (own == rows[i].argb) {
                    // Fully covered by the text: the text lies over its shadow.
                    EXPECT_EQ(pixel, rows[i].argb) << x << "," << y;
                    ++textPixels;
                } else if (own == kBackground && pixel != kBackground) {
                    // Only the shadow here: grey, at most the shadow's grey.
                    uint32_t r = (pixel >> 16) & 0xFF, g = (pixel >> 8) & 0xFF, b = pixel & 0xFF;
                    EXPECT_TRUE(r == g && g == b && r <= 100)
                        << std::hex << pixel << " at " << std::dec << x << "," << y;
                    if (pixel == kShadow) ++shadowPixels;
                }
            }
        EXPECT_GT(textPixels, 5);
        EXPECT_GT(shadowPixels, 5);
    }
}

// Whole passes of the widget on a real desktop.
class WidgetPassesTest : public WidgetPaintedTest {
protected:
    void SetUp() override {
        if (WineWithoutDisplay())
            GTEST_SKIP() << "wine without an X display; cmake/wine-run.sh gives this program a private Xvfb";
        WidgetPaintedTest::SetUp();
        StartWidgetSubsystem();
        RegisterWidgetClass();
        ASSERT_TRUE(WidgetWindow().available);
    }
    void TearDown() override {
        if (IsSkipped()) return;
        Frame().quitRequested = true; // the widget's end is no news here
        DestroyWidget();
        CloseTestWindow(simulator);
        WidgetPaintedTest::TearDown();
    }
    void Passes(int count) {
        for (int i = 0; i < count; ++i) {
            PumpTestWindows();
            TrackAndPlaceWidget();
            Sleep(5);
        }
    }
    int LogCount(const std::string& line) const {
        const std::string& text = Log().log.text;
        int found = 0;
        for (size_t at = text.find(line); at != std::string::npos; at = text.find(line, at + 1)) ++found;
        return found;
    }
    PlatformWindow simulator = 0;
};

TEST_F(WidgetPassesTest, SimulatorWindowUnderTheCursorGetsTheWidgetAndItsClicks) {
    simulator = OpenTestWindow("Microsoft Flight Simulator - test", 1200, 900);
    ASSERT_NE(simulator, 0u);
    ScreenRect rect;
    ASSERT_TRUE(PlatformWindowRect(simulator, rect));
    // Not found while the cursor is elsewhere.
    MoveCursorTo({2500, 1550});
    Passes(5);
    EXPECT_FALSE(ParentWindow().ParentWnd.found);
    EXPECT_EQ(WidgetWindow().WidgetWnd.handle, 0u);

    MoveCursorTo({rect.left + 300, rect.top + 300});
    Passes(5);
    const ParentWndRecord& parent = ParentWindow().ParentWnd;
    ASSERT_TRUE(parent.found);
    EXPECT_EQ(parent.handle, simulator);
    EXPECT_EQ(parent.title, "Microsoft Flight Simulator - test");
    EXPECT_EQ(LogCount("ParentWnd was UPDATED"), 1);
    EXPECT_EQ(LogCount("Widget window was created"), 1);

    const WidgetWndRecord& wnd = WidgetWindow().WidgetWnd;
    ASSERT_NE(wnd.handle, 0u);
    HWND widget = reinterpret_cast<HWND>(static_cast<uintptr_t>(wnd.handle));
    EXPECT_EQ(GetWindow(widget, GW_OWNER), reinterpret_cast<HWND>(static_cast<uintptr_t>(simulator)));
    // At home, 1000 pixels into the simulator window, and as tall as the six empty rows after a paint.
    Passes(10);
    EXPECT_EQ(wnd.L, rect.left + 1000);
    EXPECT_EQ(wnd.T, rect.top + 1000);
    EXPECT_EQ(wnd.W, 400);
    EXPECT_EQ(wnd.contentHeight, 108);
    EXPECT_EQ(wnd.H, 108 + wnd.topOffset);
    EXPECT_EQ(TopLevelWindowAt({wnd.L + 200, wnd.T + wnd.topOffset + 30}), wnd.handle)
        << "its picture is shown";
    if (!XvfbScreenFile().empty()) {
        // On the screen: the translucent background, and the white heading of the first row.
        EXPECT_EQ(XvfbScreenPixelSoon(wnd.L + 395, wnd.T + wnd.topOffset + 5, kBackground), kBackground);
        EXPECT_EQ(XvfbScreenPixelSoon(wnd.L + 395, wnd.T + wnd.topOffset - 1, 0x01000000), 0x01000000u);
        std::vector<uint32_t> firstRow;
        ASSERT_TRUE(XvfbScreenArea(wnd.L, wnd.T + wnd.topOffset + 4, 200, 18, firstRow));
        EXPECT_GT(std::count(firstRow.begin(), firstRow.end(), 0xFFFFFFFFu), 20);
        EXPECT_GT(std::count(firstRow.begin(), firstRow.end(), kShadow), 5);
    }

    // A click on the EXPECTED ANSWERS heading (row 3) collapses it.
    ASSERT_EQ(WidgetLists().SelectWidgetVector[TitleExpAnswers].expanded, 1);
    MoveCursorTo({wnd.L + 50, wnd.T + wnd.topOffset + 18 * 3 + 9});
    Passes(3);
    INPUT press[2] = {};
    press[0].type = press[1].type = INPUT_MOUSE;
    press[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    press[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    SendInput(2, press, sizeof(INPUT));
    for (int i = 0; i < 50 && WidgetLists().SelectWidgetVector[TitleExpAnswers].expanded == 1; ++i) Passes(1);
    EXPECT_EQ(WidgetLists().SelectWidgetVector[TitleExpAnswers].expanded, 0);
    EXPECT_EQ(wnd.LastMouseState, "UP");
    EXPECT_FALSE(Frame().quitRequested);

    // Press, move 7 right and 5 down, release: the widget follows the cursor and nothing is clicked.
    const int startL = wnd.L, startT = wnd.T;
    // (Away from the click, so that the press is not the second of a double click.)
    ScreenPoint grip{wnd.L + 150, wnd.T + wnd.topOffset + 18 * 3 + 9};
    MoveCursorTo(grip);
    Passes(3);
    SendInput(1, &press[0], sizeof(INPUT));
    for (int i = 0; i < 50 && wnd.mouseState != 1; ++i) Passes(1);
    ASSERT_EQ(wnd.mouseState, 1);
    MoveCursorTo({grip.x + 7, grip.y + 5});
    INPUT nudge{};
    nudge.type = INPUT_MOUSE;
    nudge.mi.dwFlags = MOUSEEVENTF_MOVE; // a move of nothing, so that the window hears the cursor moved
    SendInput(1, &nudge, sizeof(INPUT));
    for (int i = 0; i < 50 && wnd.L != startL + 7; ++i) Passes(1);
    EXPECT_EQ(wnd.LastMouseState, "DRUG");
    SendInput(1, &press[1], sizeof(INPUT));
    for (int i = 0; i < 50 && wnd.mouseState != 2; ++i) Passes(1);
    Passes(2);
    EXPECT_EQ(wnd.L, startL + 7);
    EXPECT_EQ(wnd.T, startT + 5);
    EXPECT_EQ(WidgetLists().SelectWidgetVector[TitleExpAnswers].expanded, 0) << "a drag clicks nothing";
    EXPECT_EQ(wnd.LastMouseState, "UP");

    // The simulator window closes: the widget goes with it, and the program ends.
    CloseTestWindow(simulator);
    simulator = 0;
    EXPECT_TRUE(Frame().quitRequested);
    EXPECT_EQ(LogCount("EXIT: Widget was WM_DESTROY"), 1);
}

} // namespace
