// The widget's real drawing on Linux (cairo, Liberation Sans 14 px, no antialiasing) read back from the
// pixels of the back buffer; and the widget window itself on a private X server (Xvfb): found over a
// window titled like the simulator's, owned by it, shown, its double clicks told apart by time and
// distance, and its owner's end ending the program.
#include "app/frame.h"
#include "base/log.h"
#include "flow/executer.h"
#include "flow/monitor.h"
#include "platform/widget_window.h"
#include "platform/window_system.h"
#include "speech/recognition_state.h"
#include "tests/fakes/fake_desktop.h"
#include "tests/fakes/private_x_server.h"
#include "tests/fakes/test_support.h"
#include "widget/parent_window.h"
#include "widget/widget_lists.h"
#include "widget/widget_platform.h"
#include "widget/widget_window.h"

// gtest first: Xlib defines None and Bool as macros.
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

namespace {

struct Box {
    int minX = 1 << 30, minY = 1 << 30, maxX = -1, maxY = -1, count = 0;
};

// Where pixels of exactly this colour lie inside [x0, x1) x [y0, y1).
Box ColourBox(uint32_t argb, int x0, int y0, int x1, int y1) {
    Box box;
    for (int y = y0; y < y1; ++y) {
        for (int x = x0; x < x1; ++x) {
            if (WidgetBufferPixel(x, y) != argb) continue;
            box.minX = std::min(box.minX, x);
            box.maxX = std::max(box.maxX, x);
            box.minY = std::min(box.minY, y);
            box.maxY = std::max(box.maxY, y);
            ++box.count;
        }
    }
    return box;
}

constexpr int kTop = 7; // a frame above the client area, as a window manager may leave

class WidgetDrawingTest : public ::testing::Test {
protected:
    InstallationFolder install;

    void SetUp() override {
        ResetWidgetAndItsSources();
        WidgetPlatform() = PlatformWidgetOps();
        StartWidgetGraphics();
        BuildWidgetTitles();
        ParentWindow().ParentWnd.W = 1280;
        ParentWindow().ParentWnd.H = 800;
        WidgetWindow().WidgetWnd.topOffset = kTop;
        MonitorData().expectedAnswers.clear();
    }
    void TearDown() override { StopWidgetGraphics(); }

    static int RowTop(int row) { return kTop + 4 + 18 * row; }
    static Box InRow(uint32_t argb, int row) {
        return ColourBox(argb, 0, RowTop(row), 400, RowTop(row) + 18);
    }
};

TEST_F(WidgetDrawingTest, AllCollapsedIsSixRowsOfTranslucentBlackWithWhiteHeadings) {
    PaintWidget();
    EXPECT_EQ(WidgetWindow().WidgetWnd.contentHeight, 108);
    struct Probe {
        int x, y;
        uint32_t argb;
    };
    const Probe probes[] = {
        {300, kTop + 100, 0xB2000000}, {399, kTop, 0xB2000000},      {0, kTop + 107, 0xB2000000},
        {300, kTop + 108, 0x01000000}, {400, kTop + 50, 0x01000000}, {5, kTop - 1, 0x01000000},
    };
    for (const Probe& p : probes) EXPECT_EQ(WidgetBufferPixel(p.x, p.y), p.argb) << p.x << "," << p.y;

    // Every heading's white text lies in its own row band, starting near x = 10, over its grey shadow
    // one pixel left and one down.
    for (int row = 0; row < 5; ++row) {
        Box white = InRow(0xFFFFFFFF, row);
        ASSERT_GT(white.count, 20) << row;
        EXPECT_GE(white.minY, RowTop(row)) << row;
        EXPECT_LT(white.maxY, RowTop(row) + 18) << row;
        EXPECT_GE(white.minX, 10) << row;
        EXPECT_LE(white.minX, 12) << row;
        Box shadow = ColourBox(0xFF646464, 0, RowTop(row), 400, RowTop(row) + 19);
        EXPECT_EQ(shadow.minX, white.minX - 1) << row;
        EXPECT_EQ(shadow.maxY, white.maxY + 1) << row;
    }
    EXPECT_EQ(InRow(0xFFFFFFFF, 5).count, 0);

    // One bit per pixel: every opaque pixel is the text's colour or its shadow's, nothing in between.
    int other = 0;
    for (int y = kTop; y < kTop + 108; ++y) {
        for (int x = 0; x < 400; ++x) {
            uint32_t p = WidgetBufferPixel(x, y);
            if (p != 0xB2000000 && p != 0xFFFFFFFF && p != 0xFF646464) ++other;
        }
    }
    EXPECT_EQ(other, 0);
}

TEST_F(WidgetDrawingTest, AClearLeavesNothingOfWhatWasDrawnSinceTheLastOne) {
    // The buffer is cleared whole once, then only where something was drawn: what lies outside must keep
    // the clear colour, and every pixel drawn must go, text overflowing the widget's width included. The
    // first drawing sits in the middle and each later one lies beyond what came before on one side (right,
    // left, below, above), so the cleared region must grow in every direction.
    ReleaseWidgetBuffer();
    CreateWidgetBuffer(700, 300);
    const uint32_t clear = 0x01000000u;
    ClearWidgetBuffer(clear);
    FillWidgetRect(300, 120, 60, 40, 0xB2000000u);
    DrawWidgetBufferText(380, 130, u"A line longer than the widget is wide, WWWWWW", 0xFFFFFFFFu);
    FillWidgetRect(20, 125, 30, 20, 0xFF00FF00u);
    DrawWidgetBufferText(-1, 250, u"gjpqy|", 0xFF646464u);
    FillWidgetRect(320, 2, 10, 10, 0xFF0000FFu);
    ASSERT_GT(ColourBox(0xFFFFFFFFu, 400, 130, 700, 150).count, 20) << "the text reaches past the widget";
    ASSERT_EQ(ColourBox(0xFF00FF00u, 0, 0, 700, 300).minX, 20) << "the left drawing is there";
    ASSERT_GT(ColourBox(0xFF646464u, 0, 240, 700, 300).count, 10) << "the low drawing is there";
    ASSERT_EQ(ColourBox(0xFF0000FFu, 0, 0, 700, 300).minY, 2) << "the high drawing is there";
    ClearWidgetBuffer(clear);
    Box left = ColourBox(clear, 0, 0, 700, 300);
    EXPECT_EQ(left.count, 700 * 300) << "pixels left over";
    // Another colour repaints the whole buffer.
    FillWidgetRect(100, 100, 10, 10, 0xFF00FF00u);
    ClearWidgetBuffer(0xB2000000u);
    EXPECT_EQ(ColourBox(0xB2000000u, 0, 0, 700, 300).count, 700 * 300);
}

TEST_F(WidgetDrawingTest, TheSelectedAnswerAndTheHeardPhrase) {
    MonitorData().expectedAnswers = {"flaps up", "gear up"};
    WidgetLists().selectedAnswer = "gear up";
    PaintWidget();
    // Rows: three collapsed lists 0-2, EXPECTED ANSWERS 3, its answers 4 and 5.
    EXPECT_GT(InRow(0xFFB2B200, 4).count, 20);
    EXPECT_EQ(InRow(0xFFFFFF00, 4).count, 0);
    EXPECT_GT(InRow(0xFFFFFF00, 5).count, 20);
    EXPECT_EQ(InRow(0xFFB2B200, 5).count, 0);
    Box plain = InRow(0xFFFFFFFF, 3);

    Recognition().displayPhrase = "flaps up";
    PaintWidget();
    Box heard = InRow(0xFFFFFFFF, 3);
    EXPECT_EQ(heard.minX, plain.minX);
    EXPECT_GT(heard.maxX, plain.maxX + 50); // ") ... flaps up" follows the count
    EXPECT_EQ(InRow(0xFFFFFFFF, 4).count, 0);

    const std::string picture = install.path() + "/widget.png";
    ASSERT_TRUE(SaveWidgetBufferPng(picture, 400, kTop + 18 * 8));
    EXPECT_EQ(ReadBytes(picture).substr(0, 8), "\x89PNG\r\n\x1a\n");
}

std::vector<WidgetEventKind>& Recorded() {
    static std::vector<WidgetEventKind> events;
    return events;
}

void SendButton(Display* display, Window window, int type, Time time, int x, int y) {
    XEvent event{};
    event.xbutton.type = type;
    event.xbutton.display = display;
    event.xbutton.window = window;
    event.xbutton.root = DefaultRootWindow(display);
    event.xbutton.time = time;
    event.xbutton.x_root = x;
    event.xbutton.y_root = y;
    event.xbutton.button = Button1;
    event.xbutton.same_screen = True;
    XSendEvent(display, window, False, type == ButtonPress ? ButtonPressMask : ButtonReleaseMask, &event);
}

TEST_F(WidgetDrawingTest, TheWidgetFollowsAWindowTitledLikeTheSimulator) {
    PrivateXServer server;
    if (server.display.empty()) GTEST_SKIP() << "no private X server (Xvfb) can be started here";
    const char* previous = std::getenv("DISPLAY");
    std::string saved = previous ? previous : "";
    setenv("DISPLAY", server.display.c_str(), 1);
    CloseWindowSystem();
    struct Restore {
        std::string display;
        ~Restore() {
            CloseWindowSystem();
            if (display.empty())
                unsetenv("DISPLAY");
            else
                setenv("DISPLAY", display.c_str(), 1);
        }
    } restore{saved};

    ResetWidgetWindow();
    ResetParentWindow();
    WidgetWindow().WidgetWnd.topOffset = 0;
    std::string whyNot;
    ASSERT_TRUE(OpenWindowSystem(whyNot)) << whyNot;
    PlatformWindow sim = OpenTestWindow("Microsoft Flight Simulator - test", 1500, 1150);
    ASSERT_NE(sim, 0u);
    MoveCursorTo({200, 200});
    StartWidgetSubsystem();
    ASSERT_TRUE(WidgetWindow().available);
    RegisterWidgetClass();

    ScreenRect rect;
    auto runPasses = [&](auto done) {
        for (int i = 0; i < 250 && !done(); ++i) {
            TrackAndPlaceWidget();
            PumpTestWindows();
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    };
    const PlatformWindow& widget = WidgetWindow().WidgetWnd.handle;
    runPasses([&] {
        return widget != 0 && PlatformWindowRect(widget, rect) && rect.bottom - rect.top == 108 &&
               WidgetBufferExists();
    });
    ASSERT_NE(widget, 0u);
    EXPECT_EQ(ParentWindow().ParentWnd.handle, sim);
    ASSERT_TRUE(PlatformWindowRect(widget, rect));
    EXPECT_EQ(std::vector<int>({rect.left, rect.top, rect.right, rect.bottom}),
              std::vector<int>({1000, 1000, 1400, 1108}));
    EXPECT_TRUE(PlatformWindowVisible(widget));
    EXPECT_EQ(Frame().quitRequested, false);
    const std::string& log = Log().log.text;
    EXPECT_NE(log.find("ParentWnd was UPDATED"), std::string::npos);
    EXPECT_EQ(log.find("ParentWnd was UPDATED"), log.rfind("ParentWnd was UPDATED"));
    EXPECT_NE(log.find("Widget window was created"), std::string::npos);

    // Owned by the simulator window, and its picture is what was drawn.
    Display* display = XOpenDisplay(server.display.c_str());
    ASSERT_NE(display, nullptr);
    Window owner = 0;
    EXPECT_TRUE(XGetTransientForHint(display, widget, &owner));
    EXPECT_EQ(owner, sim);
    RefreshWidgetWnd();
    PaintWidget();
    PumpTestWindows();
    XSync(display, False);
    XImage* image = XGetImage(display, widget, 0, 0, 400, 108, AllPlanes, ZPixmap);
    ASSERT_NE(image, nullptr);
    int white = 0;
    for (int y = 4; y < 22; ++y) {
        for (int x = 0; x < 400; ++x) white += (XGetPixel(image, x, y) & 0xFFFFFF) == 0xFFFFFF;
    }
    EXPECT_GT(white, 20);
    EXPECT_EQ(XGetPixel(image, 300, 100) & 0xFFFFFF, 0u); // the dark background
    XDestroyImage(image);

    // Raised over by its owner (as a window manager does when the simulator is clicked), it comes back on
    // top.
    XRaiseWindow(display, sim);
    XSync(display, False);
    auto stackedAbove = [&] {
        Window root = 0, parent = 0;
        Window* children = nullptr;
        unsigned count = 0;
        XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count);
        int simAt = -1, widgetAt = -1;
        for (unsigned i = 0; i < count; ++i) {
            if (children[i] == sim) simAt = static_cast<int>(i);
            if (children[i] == widget) widgetAt = static_cast<int>(i);
        }
        if (children) XFree(children);
        return widgetAt > simAt;
    };
    EXPECT_FALSE(stackedAbove());
    runPasses([&] { return stackedAbove(); });
    EXPECT_TRUE(stackedAbove());

    // Hidden with its owner (minimised or closed), held meanwhile, and shown again with it.
    XUnmapWindow(display, sim);
    XSync(display, False);
    runPasses([&] { return WidgetWindow().widgetHeld; });
    EXPECT_TRUE(WidgetWindow().widgetHeld);
    EXPECT_FALSE(PlatformWindowVisible(widget));
    XMapWindow(display, sim);
    XSync(display, False);
    runPasses([&] { return !WidgetWindow().widgetHeld && PlatformWindowVisible(widget); });
    EXPECT_FALSE(WidgetWindow().widgetHeld);
    EXPECT_TRUE(PlatformWindowVisible(widget));
    EXPECT_FALSE(Frame().quitRequested);

    // X has no double click: a second press soon and near enough is one, a third is not.
    RegisterWidgetWindowClass([](const WidgetEvent& event) { Recorded().push_back(event.kind); });
    const struct {
        int type;
        Time time;
        int x, y;
    } presses[] = {{ButtonPress, 1000, 1010, 1010}, {ButtonRelease, 1100, 1010, 1010},
                   {ButtonPress, 1300, 1013, 1006}, {ButtonRelease, 1350, 1013, 1006},
                   {ButtonPress, 1400, 1013, 1006}, {ButtonRelease, 1450, 1013, 1006},
                   {ButtonPress, 2500, 1013, 1006}, {ButtonPress, 2600, 1030, 1006}};
    for (const auto& p : presses) SendButton(display, widget, p.type, p.time, p.x, p.y);
    XSync(display, False);
    Recorded().clear();
    for (int i = 0; i < 200 && Recorded().size() < 8; ++i) {
        if (!PumpWidgetEvent()) std::this_thread::sleep_for(std::chrono::milliseconds(5));
        std::erase(Recorded(), WidgetEventKind::paint);
    }
    using K = WidgetEventKind;
    EXPECT_EQ(Recorded(), (std::vector<K>{K::buttonDown, K::buttonUp, K::doubleClick, K::buttonUp,
                                          K::buttonDown, K::buttonUp, K::buttonDown, K::buttonDown}));
    RegisterWidgetWindowClass(WidgetWindowProc);
    XCloseDisplay(display);

    // The simulator window closes: the program ends, and its own destroy at quit is not a second end.
    CloseTestWindow(sim);
    runPasses([] { return Frame().quitRequested; });
    EXPECT_NE(log.find("EXIT: Parent window no (more) exist for Widget"), std::string::npos);
    DestroyWidget();
    EXPECT_EQ(log.find("EXIT: Widget was WM_DESTROY"), std::string::npos);
    ShutdownWidgetSubsystem();
}

} // namespace
