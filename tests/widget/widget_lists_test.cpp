// The panels' lines from the flow engine's state, what a click on a heading or a line does, and the
// SELECT and CONFIRM control words.
#include "tests/widget/widget_fixture.h"

namespace {

using Strings = std::vector<std::string>;

class WidgetListsTest : public WidgetTest {
protected:
    // Lays the panels out as a paint would, with the cursor at widget-relative (x, y), and clicks.
    int ClickAt(int x, int y) {
        DrawWidget();
        WidgetWndRecord& wnd = WidgetWindow().WidgetWnd;
        wnd.W = 400;
        wnd.H = wnd.contentHeight + wnd.topOffset;
        wnd.mX = x;
        wnd.mY = y;
        return ProcessWidgetClick(wnd);
    }
    int ClickRow(int row) { return ClickAt(50, WidgetWindow().WidgetWnd.topOffset + 18 * row + 5); }
};

TEST_F(WidgetListsTest, LinesMirrorTheFlowEngine) {
    ExecuterData().recentPhrases = {"five", "four", "three", "two", "one"}; // newest first
    MonitorData().expectedAnswers = {"flaps up", "any", "gear up"};
    MonitorData().menuGroups = {{"PROCEDURES", {"Before Start", "Engine Start"}},
                                {"OTHER", {"hidden"}},
                                {"COMMANDS", {"lights on"}},
                                {"PROCEDURES", {"After Start"}},
                                {"CHECKLISTS", {"Before Taxi"}},
                                {"procedures", {"case differs"}}};
    WidgetLists().selectedAnswer = "gear up";
    BuildWidgetLines();

    EXPECT_EQ(Texts(TitleProcedures), (Strings{"Before Start", "Engine Start", "After Start"}));
    EXPECT_EQ(Texts(TitleChecklists), (Strings{"Before Taxi"}));
    EXPECT_EQ(Texts(TitleCommands), (Strings{"lights on"}));
    EXPECT_EQ(Texts(TitleExpAnswers), (Strings{"flaps up", "...", "gear up"}));
    EXPECT_EQ(Texts(TitlePhrases), (Strings{"three", "four", "five"}));

    for (size_t i = 0; i < 3; ++i) { // only the selected answer stands out
        EXPECT_EQ(Panel(TitleExpAnswers).Lines[i].colour, i == 2 ? 5 : 21) << i;
        EXPECT_EQ(Panel(TitleExpAnswers).Lines[i].selected, i == 2 ? 1 : 0) << i;
    }
    EXPECT_EQ(Panel(TitlePhrases).Lines[0].colour, 2);
    EXPECT_EQ(Panel(TitleCommands).Lines[0].colour, 3);

    // A rebuild replaces the lines; fewer phrases than three show all of them, oldest first.
    ExecuterData().recentPhrases = {"b", "a"};
    MonitorData().menuGroups.clear();
    BuildWidgetLines();
    EXPECT_EQ(Texts(TitlePhrases), (Strings{"a", "b"}));
    EXPECT_TRUE(Texts(TitleProcedures).empty());
}

TEST_F(WidgetListsTest, HeadingClicksToggleWithAtMostOneListOpen) {
    MonitorData().menuGroups = {{"PROCEDURES", {"p1", "p2"}}, {"CHECKLISTS", {"c1"}}, {"COMMANDS", {"k1"}}};
    struct Step {
        int heading;          // panel whose heading is clicked
        Strings expectedOpen; // P C K E T: which panels are expanded afterwards
    };
    // Rows follow the layout of the moment, so each click finds the heading by the panel's row.
    const Step steps[] = {
        {TitleProcedures, {"P", "E", "T"}},
        {TitleChecklists, {"C", "E", "T"}}, // opening CHECKLISTS closes PROCEDURES
        {TitleCommands, {"K", "E", "T"}},
        {TitleCommands, {"E", "T"}},   // clicking an open panel closes it
        {TitleExpAnswers, {"T"}},      // its own heading always collapses EXPECTED ANSWERS
        {TitleProcedures, {"P", "T"}}, // the PROCEDURES heading leaves it as it was
        {TitlePhrases, {"P", "E"}},    // any other click opens it again
    };
    const char* names[] = {"P", "C", "K", "E", "T"};
    for (const Step& step : steps) {
        DrawWidget();
        ClickRow(Panel(step.heading).row);
        Strings open;
        for (int i = 0; i < 5; ++i) {
            if (Panel(i).expanded) open.push_back(names[i]);
        }
        EXPECT_EQ(open, step.expectedOpen) << "after a click on " << Panel(step.heading).title;
    }
    EXPECT_TRUE(Spoken().captain.empty());
}

TEST_F(WidgetListsTest, ClickOnALineIsTakenAsThePilotsPhrase) {
    MonitorData().menuGroups = {{"PROCEDURES", {"Before Start", "Engine Start", "Taxi", "abort"}},
                                {"COMMANDS", {"lights on"}}};
    MonitorData().expectedAnswers = {"any", "set"};
    MonitorData().currentRunName = "Taxi";
    Panel(TitleProcedures).expanded = 1;
    // Rows: PROCEDURES 0, its lines 1-4, CHECKLISTS 5, COMMANDS 6, EXPECTED ANSWERS 7, "..." 8, "set" 9.
    struct Case {
        int row;
        std::string heard, display, runName;
        Strings captain;
    };
    const Case cases[] = {
        {2, "Engine Start", "Engine Start", "Engine Start", {"Engine Start"}},
        {8, "any", "...", "Taxi", {}}, // the wildcard answer is not read aloud
        {9, "set", "set", "Taxi", {"set"}},
    };
    for (const Case& c : cases) {
        Recognition() = RecognitionState();
        MonitorData().currentRunName = "Taxi";
        Spoken() = SpokenLines();
        EXPECT_EQ(ClickRow(c.row), c.row);
        EXPECT_EQ(Recognition().heardPhrase, c.heard) << c.row;
        EXPECT_EQ(Recognition().displayPhrase, c.display) << c.row;
        EXPECT_EQ(MonitorData().currentRunName, c.runName) << c.row;
        EXPECT_EQ(Spoken().captain, c.captain) << c.row;
    }
    // COMMANDS lines leave the running name alone (COMMANDS opens, PROCEDURES closes).
    DrawWidget();
    ClickRow(Panel(TitleCommands).row);
    DrawWidget();
    ClickRow(Panel(TitleCommands).Lines[0].row);
    EXPECT_EQ(Recognition().heardPhrase, "lights on");
    EXPECT_EQ(MonitorData().currentRunName, "Taxi");
    EXPECT_TRUE(ModuleProtocol().outgoing.empty());
}

TEST_F(WidgetListsTest, AbortStopsTheRunAndClearsTheClipboard) {
    MonitorData().menuGroups = {{"PROCEDURES", {"Taxi", "abort"}}};
    MonitorData().currentRunName = "Taxi";
    Panel(TitleProcedures).expanded = 1;
    ClickRow(2);
    EXPECT_EQ(Recognition().heardPhrase, "abort");
    EXPECT_EQ(MonitorData().currentRunName, "");
    EXPECT_EQ(Spoken().captain, (Strings{"abort"}));
    EXPECT_EQ(Spoken().officer, (Strings{"All Commands and Checklists Aborted!"}));
    bool codeQueued = false;
    for (const ModuleMessage& message : ModuleProtocol().outgoing) {
        if (message.type == kMsgCode && MessageText(message) == "0 (>L:TVO_CLIPBOARD)") codeQueued = true;
    }
    EXPECT_TRUE(codeQueued);
}

TEST_F(WidgetListsTest, ClicksOutsideTheWindowOrBelowTheLinesSelectNothing) {
    MonitorData().expectedAnswers = {"set"};
    const struct {
        int x, y, row;
    } cases[] = {{0, 10, -1}, {400, 10, -1}, {50, 0, -1}, {50, 108, -1}, {50, 107, 5}};
    for (const auto& c : cases) {
        Panel(TitleExpAnswers).expanded = 0;
        EXPECT_EQ(ClickAt(c.x, c.y), c.row) << c.x << "," << c.y;
        // Nothing was hit, yet EXPECTED ANSWERS opens again.
        EXPECT_EQ(Panel(TitleExpAnswers).expanded, 1);
    }
    EXPECT_EQ(Recognition().heardPhrase, "");
    // Before any paint nothing has a row: a click on row -1's heading cannot happen.
    ResetWidgetLists();
    BuildWidgetTitles();
    WidgetWindow().WidgetWnd = WidgetWndRecord();
    EXPECT_EQ(ProcessWidgetClick(WidgetWindow().WidgetWnd), -1);
    EXPECT_EQ(Panel(TitleProcedures).expanded, 0);
}

TEST_F(WidgetListsTest, SelectCyclesAndConfirmAnswers) {
    MonitorData().expectedAnswers = {"flaps up", "any"};
    BuildWidgetLines();
    const Strings expected = {"flaps up", "...", "flaps up"};
    for (const std::string& answer : expected) {
        ProcessedControlButtonClick(1);
        EXPECT_EQ(WidgetLists().selectedAnswer, answer);
    }
    EXPECT_EQ(LogCount("ProcessedControlButtonClick() inEvent = 1"), 3);
    EXPECT_EQ(LogCount("findSelected = -1"), 1);
    EXPECT_EQ(LogCount("selectedAnswer = ... 1"), 1);
    EXPECT_EQ(LogCount("selectedAnswer = flaps up 0"), 2);
    EXPECT_EQ(LogCount("SelectWidgetVector[TitleExpAnswers].Lines.size() = 2"), 3);

    ProcessedControlButtonClick(2);
    EXPECT_EQ(Recognition().heardPhrase, "flaps up");
    EXPECT_EQ(Recognition().displayPhrase, "flaps up");
    EXPECT_EQ(WidgetLists().selectedAnswer, "");
    EXPECT_EQ(Spoken().captain, (Strings{"flaps up"}));

    // Confirm with nothing selected hears the empty phrase; other events are only logged.
    ProcessedControlButtonClick(2);
    EXPECT_EQ(Recognition().heardPhrase, "");
    ProcessedControlButtonClick(7);
    EXPECT_EQ(LogCount("ProcessedControlButtonClick() inEvent = 7"), 1);
    EXPECT_EQ(Recognition().heardPhrase, "");

    // With no answers SELECT selects nothing and logs no selection.
    MonitorData().expectedAnswers.clear();
    BuildWidgetLines();
    ProcessedControlButtonClick(1);
    EXPECT_EQ(WidgetLists().selectedAnswer, "");
    EXPECT_EQ(LogCount("SelectWidgetVector[TitleExpAnswers].Lines.size() = 0"), 1);
}

// A phrase with slots is shown as its template; a click or a confirm on it hears nothing, says nothing in
// the captain's voice and tells the log why; fixed phrases beside it still work.
TEST_F(WidgetListsTest, SlotPhrasesShowAsTemplatesAndAreNeverHeardByClicks) {
    MonitorData().menuGroups = {{"COMMANDS", {"set heading {digits 3}", "gear up"}}};
    MonitorData().expectedAnswers = {"squawk {digits 4}", "set"};
    Panel(TitleCommands).expanded = 1;
    BuildWidgetLines();
    EXPECT_EQ(Texts(TitleCommands), (Strings{"set heading ___", "gear up"}));
    EXPECT_EQ(Texts(TitleExpAnswers), (Strings{"squawk ___", "set"}));
    // Rows: PROCEDURES 0, CHECKLISTS 1, COMMANDS 2, its lines 3-4, EXPECTED ANSWERS 5, answers 6-7.
    ClickRow(3);
    EXPECT_EQ(Recognition().heardPhrase, "");
    EXPECT_TRUE(Spoken().captain.empty());
    EXPECT_EQ(LogCount("Widget: \"set heading ___\" needs a value said by the captain; nothing heard"), 1);
    ClickRow(6);
    EXPECT_EQ(Recognition().heardPhrase, "");
    ClickRow(4);
    EXPECT_EQ(Recognition().heardPhrase, "gear up");

    Recognition() = RecognitionState();
    Spoken() = SpokenLines();
    ProcessedControlButtonClick(1);
    EXPECT_EQ(WidgetLists().selectedAnswer, "squawk ___");
    BuildWidgetLines();
    EXPECT_EQ(Panel(TitleExpAnswers).Lines[0].selected, 1) << "the template stays selected across paints";
    ProcessedControlButtonClick(2);
    EXPECT_EQ(Recognition().heardPhrase, "");
    EXPECT_EQ(WidgetLists().selectedAnswer, "");
    EXPECT_EQ(LogCount("Widget: \"squawk ___\" needs a value said by the captain; nothing heard"), 2);
    EXPECT_TRUE(Spoken().captain.empty());
}
} // namespace
