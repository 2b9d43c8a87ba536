// Finding and following the simulator window, creating and placing the widget over it, the mouse rules
// (drag against click, double click), the drawing's layout and colours, snapshots, and the three ends.
#include "tests/widget/widget_fixture.h"

#include <filesystem>
#include <tuple>

namespace {

using Strings = std::vector<std::string>;

const ScreenRect kSimRect = {100, 50, 1700, 1250}; // 1600 x 1200

class WidgetWindowTest : public WidgetTest {
protected:
    PlatformWindow sim = 0;

    // The simulator window under the cursor, found, and the widget created over it and painted once.
    void StartOverSimulator() {
        sim = AddFakeWindow(u"Microsoft Flight Simulator - 1.37.19.0", kSimRect);
        FakeDesktop().under = sim;
        FakeDesktop().cursor = {500, 500};
        RegisterWidgetClass();
        Pass();
        ASSERT_NE(WidgetWindow().WidgetWnd.handle, 0u);
    }
    // The widget's part of one main-loop pass.
    void Pass() { TrackAndPlaceWidget(); }
    static FakeWindow& WidgetFake() { return FakeDesktop().windows.at(FakeDesktop().widget); }
    static void Event(WidgetEventKind kind) { WidgetWindowProc({kind, false}); }
};

TEST_F(WidgetWindowTest, TheSimulatorWindowIsFoundByTitleUnderTheCursorOnce) {
    PlatformWindow other = AddFakeWindow(u"microsoft flight simulator", {0, 0, 10, 10});
    // A title with code units above 0xFF keeps their low 8 bits: U+0141 becomes 0x41 'A'.
    PlatformWindow wide = AddFakeWindow(u"\u0141 Microsoft Flight Simulator \u00e9", {0, 0, 10, 10});
    EXPECT_EQ(GetWindowTitle(wide), "A Microsoft Flight Simulator \xe9");

    RegisterWidgetClass();
    FakeDesktop().under = 0; // the desktop
    Pass();
    FakeDesktop().under = other; // the title differs in case
    Pass();
    EXPECT_FALSE(ParentWindow().ParentWnd.found);
    EXPECT_TRUE(Log().log.text.empty());

    FakeDesktop().under = wide;
    Pass();
    const ParentWndRecord& parent = ParentWindow().ParentWnd;
    EXPECT_TRUE(parent.found);
    EXPECT_EQ(parent.handle, wide);
    EXPECT_EQ(parent.title, "A Microsoft Flight Simulator \xe9");
    for (int i = 0; i < 3; ++i) Pass();
    EXPECT_EQ(LogCount("ParentWnd was UPDATED"), 1);
    EXPECT_EQ(LogCount("Widget window was created"), 1);
}

TEST_F(WidgetWindowTest, RectangleChangesAreLoggedAndReplaceTheWidget) {
    StartOverSimulator();
    const ParentWndRecord& parent = ParentWindow().ParentWnd;
    EXPECT_EQ(parent.W, 1600);
    EXPECT_EQ(parent.H, 1200);
    EXPECT_EQ(parent.Summ, 100 + 50 + 1700 + 1250);
    EXPECT_EQ(LogCount("ParentWnd.Summ=3100"), 0); // adoption sets the signature without logging

    struct Case {
        ScreenRect rect;
        bool logged;
    };
    // One edge right and another left by the same amount keeps the signature: not seen as a change.
    const Case cases[] = {
        {{110, 50, 1710, 1250}, true}, {{120, 50, 1700, 1250}, false}, {{0, 0, 800, 600}, true}};
    for (const Case& c : cases) {
        ResetLog();
        FakeDesktop().windows[sim].rect = c.rect;
        FakeDesktop().moves.clear();
        Pass();
        EXPECT_EQ(LogCount("ParentWnd.L=" + ToString(c.rect.left)), c.logged ? 1 : 0);
        if (c.logged) {
            ASSERT_FALSE(FakeDesktop().moves.empty());
            // Logged in this order, then the widget goes home at the placement of the same pass.
            Strings lines = LogLines();
            const Strings labels = {
                "ParentWnd.L=", "ParentWnd.R=",  "ParentWnd.T=",  "ParentWnd.B=",   "ParentWnd.H=",
                "ParentWnd.W=", "ParentWnd.mX=", "ParentWnd.mY=", "ParentWnd.Summ="};
            ASSERT_EQ(lines.size(), labels.size());
            for (size_t i = 0; i < labels.size(); ++i)
                EXPECT_TRUE(lines[i].starts_with(labels[i])) << lines[i];
            const ScreenRect home = {c.rect.left + 1000, c.rect.top + 1000, c.rect.left + 1400,
                                     c.rect.top + 1000 + (c.rect.bottom - c.rect.top) - 300};
            const ScreenRect& moved = FakeDesktop().moves.front();
            EXPECT_EQ(std::tie(moved.left, moved.top, moved.right, moved.bottom),
                      std::tie(home.left, home.top, home.right, home.bottom));
        }
        EXPECT_FALSE(ParentWindow().ParentWnd.replaceWidget);
    }
    EXPECT_EQ(ParentWindow().ParentWnd.mX, 500);
    EXPECT_EQ(ParentWindow().ParentWnd.mY, 500);
}

TEST_F(WidgetWindowTest, TheWidgetIsMadeAtHomeAndTakesItsContentsHeight) {
    FakeDesktop().topOffset = 3;
    StartOverSimulator();
    EXPECT_EQ(FakeDesktop().widgetOwner, sim);
    // Created at home: the simulator window's left and top plus 1000, 400 wide, its height less 300.
    ASSERT_FALSE(FakeDesktop().moves.empty());
    // The first placement before any paint asks for the content's height (nothing drawn yet: the offset).
    for (int i = 0; i < 4; ++i) Pass();
    const ScreenRect& rect = WidgetFake().rect;
    EXPECT_EQ(rect.left, 1100);
    EXPECT_EQ(rect.top, 1050);
    EXPECT_EQ(rect.right - rect.left, 400);
    EXPECT_EQ(WidgetWindow().WidgetWnd.contentHeight, 108); // all lists collapsed, nothing expected
    EXPECT_EQ(rect.bottom - rect.top, 108 + 3);
    EXPECT_GT(FakeDesktop().repaintRequests, 0);
    // The back buffer is the simulator window's size, made once, cleared first to 0xC8000000.
    EXPECT_EQ(FakeDesktop().bufferWidth, 1600);
    EXPECT_EQ(FakeDesktop().bufferHeight, 1200);
    ASSERT_GE(FakeDesktop().clears.size(), 2u);
    EXPECT_EQ(FakeDesktop().clears[0], 0xC8000000u);
    EXPECT_EQ(FakeDesktop().clears[1], 0x01000000u);
    ASSERT_GT(FakeDesktop().presents, 0);

    // Every pass lays the widget out, but it is drawn and handed to the window only when what it shows
    // changed, when the window moved, or when the window lost its picture.
    auto presentsAfter = [this](int passes) {
        int before = FakeDesktop().presents;
        for (int i = 0; i < passes; ++i) Pass();
        return FakeDesktop().presents - before;
    };
    EXPECT_EQ(presentsAfter(10), 0) << "nothing changed";
    MonitorData().expectedAnswers = {"flaps up"};
    // The answer makes the content a row taller: drawn anew, and once more when the window has grown.
    EXPECT_EQ(presentsAfter(3), 2) << "a new expected answer";
    EXPECT_EQ(presentsAfter(5), 0);
    EXPECT_EQ(WidgetLists().SelectWidgetVector[TitleExpAnswers].Lines.at(0).row, 4)
        << "rows stay laid out for clicks while nothing is drawn";
    Recognition().displayPhrase = "flaps up";
    EXPECT_EQ(presentsAfter(3), 1) << "a heard phrase in the heading";
    FakeDesktop().events.push_back({WidgetEventKind::paint, false, true});
    EXPECT_EQ(presentsAfter(1), 1) << "the window lost its picture";
    EXPECT_EQ(presentsAfter(5), 0);
}

TEST_F(WidgetWindowTest, PressMoveReleaseDragsAndSelectsNothing) {
    StartOverSimulator();
    for (int i = 0; i < 3; ++i) Pass();
    MonitorData().expectedAnswers = {"set"};
    Pass();
    Pass();
    WidgetWndRecord& wnd = WidgetWindow().WidgetWnd;
    const ScreenRect start = WidgetFake().rect;
    // The cursor over the first expected answer (row 4).
    FakeDesktop().cursor = {start.left + 50, start.top + 18 * 4 + 5};
    FakeDesktop().leftHeld = true;
    FakeDesktop().events = {{WidgetEventKind::buttonDown, false}};
    Pass();
    EXPECT_EQ(wnd.mouseState, 1);
    EXPECT_EQ(wnd.LastMouseState, "DN");
    FakeDesktop().cursor.x += 1;
    FakeDesktop().events = {{WidgetEventKind::mouseMove, false}};
    Pass();
    EXPECT_EQ(wnd.mouseState, 4);
    EXPECT_EQ(wnd.LastMouseState, "DRUG");
    EXPECT_EQ(WidgetFake().rect.left, start.left + 1); // follows the cursor at its offset
    EXPECT_EQ(WidgetFake().rect.top, start.top);
    FakeDesktop().leftHeld = false;
    FakeDesktop().events = {{WidgetEventKind::buttonUp, false}};
    Pass();
    EXPECT_EQ(wnd.mouseState, 2);
    EXPECT_EQ(wnd.LastMouseState, "UP");
    EXPECT_EQ(Recognition().heardPhrase, "");
    EXPECT_EQ(WidgetFake().rect.left, start.left + 1); // stays where it was dropped

    // A move with the button found up ends a drag whose release was missed; with it held, nothing.
    const struct {
        int before;
        bool held;
        int after;
        const char* last;
    } moves[] = {{4, true, 4, "DRUG"}, {4, false, 2, "UP"}, {2, false, 2, "UP"}};
    for (const auto& m : moves) {
        wnd.mouseState = m.before;
        wnd.LastMouseState = "DRUG";
        FakeDesktop().leftHeld = m.held;
        Event(WidgetEventKind::mouseMove);
        EXPECT_EQ(wnd.mouseState, m.after);
        EXPECT_EQ(wnd.LastMouseState, m.last);
    }
}

TEST_F(WidgetWindowTest, ADoubleClickSelectsOnce) {
    StartOverSimulator();
    MonitorData().expectedAnswers = {"set"};
    for (int i = 0; i < 4; ++i) Pass();
    const ScreenRect rect = WidgetFake().rect;
    FakeDesktop().cursor = {rect.left + 50, rect.top + 18 * 4 + 5};
    Pass();
    for (WidgetEventKind kind : {WidgetEventKind::buttonDown, WidgetEventKind::buttonUp,
                                 WidgetEventKind::doubleClick, WidgetEventKind::buttonUp}) {
        Event(kind);
    }
    EXPECT_EQ(Spoken().captain, (Strings{"set"}));
    EXPECT_EQ(Recognition().heardPhrase, "set");
    EXPECT_EQ(WidgetWindow().WidgetWnd.LastMouseState, "DBL");
}

TEST_F(WidgetWindowTest, DrawingLaysOutHeadingsAndLines) {
    FakeDesktop().topOffset = 2;
    StartOverSimulator();
    MonitorData().menuGroups = {{"PROCEDURES", {"Before Start", "Engine Start", "Taxi", "Landing"}}};
    MonitorData().currentRunName = "Engine Start";
    MonitorData().expectedAnswers = {"flaps up", "gear up"};
    ExecuterData().recentPhrases = {"Flaps five"};
    Recognition().displayPhrase = "flaps up";
    WidgetLists().selectedAnswer = "gear up";
    WidgetLists().SelectWidgetVector[TitleProcedures].expanded = 1;
    Pass(); // the widget's offset is read
    FakeDesktop().texts.clear();
    FakeDesktop().fills.clear();
    FakeDesktop().fillColours.clear();
    DrawWidget();

    struct Line {
        int x, row;
        std::string text;
        uint32_t argb;
    };
    const Line lines[] = {
        {10, 0, "PROCEDURES(4)", 0xFFFFFFFF},
        {20, 1, "Before Start", 0xFF005900},
        {20, 2, "Engine Start", 0xFF00FF00},
        {20, 3, "Taxi", 0xFF005900},
        {20, 4, "Landing", 0xFF005900},
        {10, 5, "CHECKLISTS(0)", 0xFFFFFFFF},
        {10, 6, "COMMANDS(0)", 0xFFFFFFFF},
        {10, 7, "EXPECTED ANSWERS(2) ... flaps up", 0xFFFFFFFF},
        {20, 8, "flaps up", 0xFFB2B200},
        {20, 9, "gear up", 0xFFFFFF00},
        {10, 10, "TALVERO PHRASES(1)", 0xFFFFFFFF},
        {20, 11, "Flaps five", 0xFF00BFFF},
    };
    const std::vector<FakeText>& texts = FakeDesktop().texts;
    ASSERT_EQ(texts.size(), 2 * std::size(lines));
    for (size_t i = 0; i < std::size(lines); ++i) {
        const FakeText& shadow = texts[2 * i];
        const FakeText& text = texts[2 * i + 1];
        const int y = 2 + 4 + 18 * lines[i].row;
        EXPECT_EQ(text.text, lines[i].text);
        EXPECT_EQ(std::tie(text.x, text.y, text.argb), std::tie(lines[i].x, y, lines[i].argb))
            << lines[i].text;
        EXPECT_EQ(std::tie(shadow.x, shadow.y, shadow.argb, shadow.text),
                  std::make_tuple(lines[i].x - 1, y + 1, 0xFF646464u, text.text));
    }
    EXPECT_EQ(WidgetWindow().WidgetWnd.contentHeight, 18 * 13);
    ASSERT_EQ(FakeDesktop().fills.size(), 1u);
    EXPECT_EQ(FakeDesktop().fills[0].top, 2);
    EXPECT_EQ(FakeDesktop().fills[0].bottom, 2 + 18 * 13);
    EXPECT_EQ(FakeDesktop().fills[0].right, 400);
    EXPECT_EQ(FakeDesktop().fillColours[0], 0xB2000000u);
    // The rows a click reads back.
    EXPECT_EQ(WidgetLists().SelectWidgetVector[TitleExpAnswers].row, 7);
    EXPECT_EQ(WidgetLists().SelectWidgetVector[TitlePhrases].Lines[0].row, 11);
    // Collapsed lines have no row.
    WidgetLists().SelectWidgetVector[TitleProcedures].expanded = 0;
    DrawWidget();
    for (const WidgetLine& line : WidgetLists().SelectWidgetVector[TitleProcedures].Lines)
        EXPECT_EQ(line.row, -1);
}

TEST_F(WidgetWindowTest, PaletteBytesFollowTheTruncationRule) {
    const uint32_t expected[22] = {0x000000, 0xFFFFFF, 0x00BFFF, 0x00FF00, 0xFF00FF, 0xFFFF00,
                                   0xFF994C, 0xFF0000, 0xB2B2B2, 0x999999, 0x7F7F7F, 0x666666,
                                   0x005900, 0x7F4C26, 0x000000, 0x00FFFF, 0x333333, 0x191919,
                                   0xCCCCCC, 0xE5E5E5, 0xE5E5E5, 0xB2B200};
    for (int i = 0; i < 22; ++i) EXPECT_EQ(PaletteArgb(i), 0xFF000000u | expected[i]) << i;
}

TEST_F(WidgetWindowTest, TheEndsOfTheWidget) {
    struct Case {
        const char* name;
        void (*act)(PlatformWindow sim);
        const char* reason;
    };
    const Case cases[] = {
        {"simulator window closed", [](PlatformWindow s) { FakeDesktop().windows.erase(s); },
         "EXIT: Parent window no (more) exist for Widget"},
        {"widget destroyed by someone else",
         [](PlatformWindow) { WidgetPlatform().destroyWindow(FakeDesktop().widget); },
         "EXIT: Widget was WM_DESTROY"},
    };
    for (const Case& c : cases) {
        SetUp();
        StartOverSimulator();
        Pass();
        c.act(sim);
        Pass();
        EXPECT_TRUE(Frame().quitRequested) << c.name;
        EXPECT_EQ(LogCount(c.reason), 1) << c.name;
        // The program's own destroy at quit is not a second end.
        DestroyWidget();
        Pass();
        EXPECT_EQ(LogCount(c.reason), 1) << c.name;
    }
}

TEST_F(WidgetWindowTest, CreationFailureEndsTheProgram) {
    PlatformWindow s = AddFakeWindow(u"Microsoft Flight Simulator", kSimRect);
    FakeDesktop().under = s;
    FakeDesktop().createFails = true;
    Pass();
    EXPECT_EQ(LogCount("EXIT: Widget window was NOT created"), 1);
}

TEST_F(WidgetWindowTest, ALostSimulatorWindowIsNeverAdoptedAgain) {
    StartOverSimulator();
    Frame().quitRequested = true; // the program is ending anyway: no second exit line
    FakeDesktop().windows.erase(sim);
    Pass();
    EXPECT_FALSE(ParentWindow().ParentWnd.found);
    PlatformWindow again = AddFakeWindow(u"Microsoft Flight Simulator", kSimRect);
    FakeDesktop().under = again;
    for (int i = 0; i < 3; ++i) Pass();
    EXPECT_EQ(ParentWindow().ParentWnd.handle, sim);
    EXPECT_FALSE(ParentWindow().ParentWnd.found);
    EXPECT_EQ(LogCount("ParentWnd was UPDATED"), 1);
    EXPECT_EQ(LogCount("EXIT: Parent window no (more) exist for Widget"), 0);
}

TEST_F(WidgetWindowTest, HiddenWithItsOwnerTheWidgetStandsStill) {
    StartOverSimulator();
    for (int i = 0; i < 3; ++i) Pass();
    WidgetWindowProc({WidgetEventKind::hidden, false}); // hidden for another reason: not held
    EXPECT_FALSE(WidgetWindow().widgetHeld);
    WidgetFake().visible = false;
    WidgetWindowProc({WidgetEventKind::hidden, true});
    EXPECT_TRUE(WidgetWindow().widgetHeld);
    FakeDesktop().moves.clear();
    FakeDesktop().windows[sim].rect = {0, 0, 1600, 1200};
    FakeDesktop().windows.erase(FakeDesktop().widget); // not even its loss is noticed while held
    Pass();
    EXPECT_TRUE(FakeDesktop().moves.empty());
    EXPECT_FALSE(ParentWindow().ParentWnd.replaceWidget);
    EXPECT_FALSE(Frame().quitRequested);
    WidgetWindowProc({WidgetEventKind::shown, false});
    EXPECT_FALSE(WidgetWindow().widgetHeld);
}

TEST_F(WidgetWindowTest, NoDisplayMeansNoWidgetAndOneLogLine) {
    FakeDesktop().displayMissing = true;
    StartWidgetSubsystem();
    RegisterWidgetClass();
    PlatformWindow s = AddFakeWindow(u"Microsoft Flight Simulator", kSimRect);
    FakeDesktop().under = s;
    for (int i = 0; i < 3; ++i) Pass();
    EXPECT_EQ(LogCount("Widget not shown: no display"), 1);
    EXPECT_EQ(WidgetWindow().WidgetWnd.handle, 0u);
    EXPECT_FALSE(ParentWindow().ParentWnd.found);
}

TEST_F(WidgetWindowTest, SnapshotsWhenTheFolderAsksAndTheAnswersChange) {
    StartOverSimulator();
    for (int i = 0; i < 3; ++i) Pass();
    EXPECT_TRUE(FakeDesktop().savedPictures.empty()); // no folder, no pictures
    std::filesystem::create_directories("data/widget-snapshots");
    MonitorData().expectedAnswers = {"set"};
    for (int i = 0; i < 3; ++i) Pass();
    MonitorData().expectedAnswers = {"set", "checked"};
    for (int i = 0; i < 3; ++i) Pass();
    EXPECT_EQ(FakeDesktop().savedPictures,
              (Strings{"./data/widget-snapshots/widget-001.png", "./data/widget-snapshots/widget-002.png"}));
}

} // namespace
