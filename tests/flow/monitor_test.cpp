// The monitor on small purpose-written profiles, played through the scenario runner: commands, events,
// sequential devices with their breaks and "abort", expected answers with deadlines, menu groups, limits
// and write links, and the log lines of firing blocks.
#include "flow_fixture.h"
#include "tests/fakes/checklist_profile.h"

namespace {
using MonitorTest = FlowTest;

const char* kCommands = "sys=COMMANDS\n"
                        "dev=GEAR\n"
                        "out=UP,int,,0,,,,,,,,0\n"
                        "logic:\n"
                        "instring=gear up\n"
                        "execute=0,Gear up;  sir,0\n"
                        "calc=1\n"
                        "logic:\n"
                        "instring=gear up\n"
                        "execute=0,never: only the first true block fires,0\n"
                        "out=DOWN,int,,0,,,,,,,,0\n"
                        "logic:\n"
                        "instring=gear down\n"
                        "execute=0,Gear down,0\n"
                        "calc=5\n";

TEST_F(MonitorTest, CommandFiresOnceAndConsumesThePhrase) {
    LoadProfile(kCommands);
    ScheduleHeard(0.1, "gear up");
    RunScenarioUntil(0.1);
    OutParameter& up = Param("COMMANDS.GEAR.UP");
    EXPECT_EQ(up.activeBlock, 0);
    EXPECT_TRUE(up.logicBlocks[0].fired);
    EXPECT_FALSE(up.logicBlocks[1].fired) << "a later true block is not fired";
    RunScenarioUntil(1.0);
    EXPECT_FALSE(up.logicBlocks[0].fired) << "fired tells of the latest evaluation only";
    EXPECT_EQ(SpokenLines(), (std::vector<std::string>{"Gear up,  sir"}));
    EXPECT_TRUE(LogHas("---> COMMAND: COMMANDS.GEAR.UP B 0"));
    EXPECT_FALSE(LogHas("---> COMMAND: COMMANDS.GEAR.UP B 1"));
    EXPECT_EQ(Recognition().heardPhrase, "");
    EXPECT_EQ(up.value, 1);
    EXPECT_EQ(up.intValue, 1);
    EXPECT_EQ(Param("COMMANDS.GEAR.DOWN").value, 0) << "a phrase consumed earlier in the pass is gone";
    EXPECT_EQ(MonitorData().expectedAnswers, (std::vector<std::string>{"any"}));
    EXPECT_FALSE(Recognition().anyAnswerExpected);
}

TEST_F(MonitorTest, EventFiresFromSimulatorValuesAndRearms) {
    LoadProfile("sys=EVENTS\n"
                "dev=CLIMB\n"
                "out=VS,double,,0,,,A:VERTICAL SPEED,new,,,,0\n"
                "out=POSRATE,int,,0,,,,,L:TVO_POSRATE,new,,0\n"
                "logic:\n"
                "[EVENTS.CLIMB.VS]>500\n"
                "[EVENTS.CLIMB.POSRATE]==0\n"
                "execute=0,Positive rate,0\n"
                "calc=1\n"
                "logic:\n"
                "[EVENTS.CLIMB.VS]<100\n"
                "calc=0\n");
    ScheduleSimValue(1.0, "A:VERTICAL SPEED", 1200);
    ScheduleSimValue(3.0, "A:VERTICAL SPEED", 0);
    ScheduleSimValue(5.0, "A:VERTICAL SPEED", 900);
    RunScenarioUntil(7.0);
    EXPECT_EQ(SpokenLines(), (std::vector<std::string>{"Positive rate", "Positive rate"}));
    std::vector<TimelineEntry> spoken = TimelineOf(TimelineKind::Spoken);
    EXPECT_NEAR(spoken[0].time, 1.0, 1e-9) << "monitor and executer in the same pass";
    EXPECT_TRUE(LogHas("---> EVENT: EVENTS.CLIMB.POSRATE B 0"));
    std::vector<TimelineEntry> written = TimelineOf(TimelineKind::DrfWritten);
    ASSERT_EQ(written.size(), 3u) << "1 on the call, 0 when rearmed, 1 again";
    EXPECT_EQ(written[0].text, "L:TVO_POSRATE");
    EXPECT_EQ(written[0].value, 1);
    EXPECT_EQ(written[1].value, 0);
    EXPECT_EQ(Param("EVENTS.CLIMB.VS").value, 900);
}

TEST_F(MonitorTest, SequentialChecklistRunsItemByItemAndResets) {
    LoadProfile(kBeforeStartChecklist);
    MonitorData().currentRunName = "BEFORE START";
    ScheduleHeard(0.0, "before start checklist");
    RunScenarioPass();
    EXPECT_TRUE(LogHas("---> CHECKLIST: CHECKLIST.BEFORE START.TRIGGER B 0"));
    EXPECT_EQ(Param("CHECKLIST.BEFORE START.TRIGGER").value, 1.0);
    EXPECT_EQ(MonitorData().expectedAnswers, (std::vector<std::string>{"any"}))
        << "item 1 waits for the queue";

    // While the challenge is being spoken the item is not evaluated; afterwards its answer is expected.
    RunScenarioUntil(0.5);
    EXPECT_TRUE(ExecuterData().flowActive);
    EXPECT_TRUE(ExecuterData().isLiveAnimationBlocked);
    EXPECT_EQ(MonitorData().expectedAnswers, (std::vector<std::string>{"closed"}));
    ScheduleHeard(3.0, "on"); // not its turn: stays heard, nothing happens
    RunScenarioUntil(3.5);
    EXPECT_EQ(Param("CHECKLIST.BEFORE START.BEACON").value, 0);
    EXPECT_EQ(Param("CHECKLIST.BEFORE START.DOORS").value, 0);
    EXPECT_EQ(Recognition().heardPhrase, "on");
    ScheduleHeard(4.0, "closed");
    RunScenarioUntil(4.0);
    EXPECT_EQ(Param("CHECKLIST.BEFORE START.DOORS").value, 1.0);
    EXPECT_EQ(Recognition().heardPhrase, "");
    EXPECT_FALSE(LogHas("---> CHECKLIST: CHECKLIST.BEFORE START.DOORS B 0")) << "only the trigger logs";
    // An answer given while the challenge is still being spoken waits for its item.
    ScheduleHeard(4.1, "on");
    RunScenarioUntil(8.0);
    EXPECT_EQ(SpokenLines(), (std::vector<std::string>{"Before start checklist. Doors?", "Beacon?",
                                                       "Before start checklist complete"}));
    for (const char* name : {"TRIGGER", "DOORS", "BEACON"})
        EXPECT_EQ(Param(std::string("CHECKLIST.BEFORE START.") + name).value, 0) << name;
    EXPECT_EQ(MonitorData().currentRunName, "");
    EXPECT_FALSE(ExecuterData().flowActive);
    EXPECT_EQ(TimelineOf(TimelineKind::MessageSent).back().type, kMsgLiveAnimation);
}

TEST_F(MonitorTest, SequentialChecklistResetsOnThePassAfterItsLastItem) {
    LoadProfile(kBeforeStartChecklist);
    ScheduleHeard(0.0, "before start checklist");
    ScheduleHeard(3.0, "closed");
    RunScenarioUntil(6.0);
    ASSERT_EQ(Param("CHECKLIST.BEFORE START.DOORS").value, 1.0);
    ScheduleHeard(6.0, "on");
    RunScenarioPass(); // the last item fires
    EXPECT_EQ(Param("CHECKLIST.BEFORE START.BEACON").value, 1.0);
    EXPECT_TRUE(ExecuterData().flowActive);
    RunScenarioPass(); // and the device resets
    EXPECT_EQ(Param("CHECKLIST.BEFORE START.BEACON").value, 0.0);
    EXPECT_EQ(Param("CHECKLIST.BEFORE START.TRIGGER").value, 0.0);
    EXPECT_TRUE(ExecuterData().flowActive) << "the reset pass still counts as running";
}

TEST_F(MonitorTest, BreakInItemOneCascadesAndResets) {
    LoadProfile("sys=PROCEDURES\n"
                "devstack=START\n"
                "out=TRIGGER,int,,0,,,,,,,,0\n"
                "logic:\n"
                "instring=start engines\n"
                "execute=0,Starting,0\n"
                "out=ITEM1,int,,0,,,,,,,,0\n"
                "logic:\n"
                "execute=3,,0\n"
                "execute=0,Never said: removed by the break of the same pass,0\n"
                "out=ITEM2,int,,0,,,,,,,,0\n"
                "logic:\n"
                "execute=0,Never said either,0\n"
                "out=ITEM3,int,,0,,,,,,,,0\n"
                "logic:\n"
                "execute=0,Nor this,0\n");
    MonitorData().currentRunName = "START";
    auto values = [] {
        std::vector<double> v;
        for (const char* n : {"TRIGGER", "ITEM1", "ITEM2", "ITEM3"})
            v.push_back(Param(std::string("PROCEDURES.START.") + n).value);
        return v;
    };
    ScheduleHeard(0.0, "start engines");
    RunScenarioPass(); // pass 0: trigger fires, "Starting" is said
    EXPECT_EQ(values(), (std::vector<double>{1, 0, 0, 0}));
    RunScenarioPass(); // pass 1: queue empty, item 1 fires its break
    EXPECT_EQ(values(), (std::vector<double>{1, 2, 0, 0}));
    EXPECT_EQ(MonitorData().currentRunName, "");
    EXPECT_TRUE(ExecuterData().executeFlow.empty()) << "the break took the step queued behind it";
    RunScenarioPass(); // pass 2: the cascade
    EXPECT_EQ(values(), (std::vector<double>{1, 2, 2, 2}));
    RunScenarioPass(); // pass 3: the last item holds 2.0: complete
    EXPECT_EQ(values(), (std::vector<double>{0, 0, 0, 0}));
    RunScenarioUntil(2.0);
    EXPECT_EQ(SpokenLines(), (std::vector<std::string>{"Starting"}));
}

TEST_F(MonitorTest, AbortResetsARunningDeviceWithoutConsumingThePhrase) {
    LoadProfile(kBeforeStartChecklist);
    ScheduleHeard(0.0, "before start checklist");
    RunScenarioUntil(3.0);
    ASSERT_EQ(Param("CHECKLIST.BEFORE START.TRIGGER").value, 1.0);
    MonitorData().currentRunName = "BEFORE START";
    ScheduleHeard(3.0, "abort");
    RunScenarioPass();
    EXPECT_EQ(Param("CHECKLIST.BEFORE START.TRIGGER").value, 0.0);
    EXPECT_EQ(MonitorData().currentRunName, "");
    EXPECT_EQ(Recognition().heardPhrase, "abort");
    RunScenarioUntil(5.0);
    EXPECT_EQ(Recognition().heardPhrase, "abort") << "still heard: nothing else matched it";
    EXPECT_EQ(SpokenLines().size(), 1u);
    EXPECT_EQ(Param("CHECKLIST.BEFORE START.TRIGGER").value, 0.0) << "not restarted";
}

TEST_F(MonitorTest, AnswersWithDeadlinesAppearAndExpire) {
    LoadProfile("sys=COMMANDS\n"
                "dev=CREW\n"
                "out=READY,int,,0,,,,,,,,0\n"
                "logic:\n"
                "instring=are you ready\n"
                "execute=12,standing by,5\n"
                "execute=12,ready when you are,2\n"
                "out=CANCEL,int,,0,,,,,,,,0\n"
                "logic:\n"
                "instring=cancel\n"
                "execute=12,standing by,0\n");
    ScheduleHeard(1.0, "are you ready");
    RunScenarioUntil(1.0);
    EXPECT_EQ(MonitorData().expectedAnswers, (std::vector<std::string>{"any"}))
        << "appear from the next pass";
    RunScenarioPass();
    EXPECT_EQ(MonitorData().expectedAnswers, (std::vector<std::string>{"standing by", "ready when you are"}));
    // Listed for 2 s of frame time, the pass in which it expires included.
    double gone = -1;
    while (gone < 0 && Scenario().time < 3.5) {
        RunScenarioPass();
        if (MonitorData().expectedAnswers.size() == 1) gone = Scenario().time;
    }
    EXPECT_GT(gone, 3.0 + 0.02);
    EXPECT_LE(gone, 3.0 + 0.04 + 1e-9);
    EXPECT_EQ(MonitorData().expectedAnswers, (std::vector<std::string>{"standing by"}));
    ScheduleHeard(4.0, "cancel");
    RunScenarioUntil(4.0);
    RunScenarioPass();
    EXPECT_EQ(MonitorData().expectedAnswers, (std::vector<std::string>{"any"}))
        << "value 0 removes it at once";
    EXPECT_TRUE(ExecuterData().answerDeadlines.empty());
}

TEST_F(MonitorTest, AnyAnswerAndMenuGroups) {
    LoadProfile("sys=CHECKLIST\n"
                "devstack=AFTER TAKEOFF\n"
                "out=TRIGGER,int,,0,,,,,,,,0\n"
                "logic:\n"
                "instring=after takeoff checklist\n"
                "execute=0,After takeoff checklist,0\n"
                "out=CONFIRM,int,,0,,,,,,,,0\n"
                "logic:\n"
                "instring=any\n"
                "execute=0,Thank you,0\n"
                "sys=MENUS\n"
                "dev=MAIN\n"
                "out=ENTRIES,int,,0,,,,,,,,0\n"
                "logic:\n"
                "execute=9,before start checklist,0\n"
                "execute=9,after takeoff checklist,0\n"
                "dev=MORE\n"
                "out=ENTRIES,int,,0,,,,,,,,0\n"
                "logic:\n"
                "execute=9,abort,0\n");
    ScheduleHeard(0.0, "after takeoff checklist");
    RunScenarioUntil(0.1);
    const std::vector<MenuGroup>& groups = MonitorData().menuGroups;
    ASSERT_EQ(groups.size(), 2u) << "rebuilt every pass, not accumulated";
    EXPECT_EQ(groups[0].deviceName, "MAIN");
    EXPECT_EQ(groups[0].entries,
              (std::vector<std::string>{"before start checklist", "after takeoff checklist"}));
    EXPECT_EQ(groups[1].deviceName, "MORE");
    EXPECT_EQ(groups[1].entries, (std::vector<std::string>{"abort"}));
    RunScenarioUntil(3.0);
    EXPECT_TRUE(Recognition().anyAnswerExpected);
    EXPECT_EQ(MonitorData().expectedAnswers, (std::vector<std::string>{"any"}));
    ScheduleHeard(3.0, "whatever the captain says");
    RunScenarioUntil(5.0);
    EXPECT_EQ(SpokenLines(), (std::vector<std::string>{"After takeoff checklist", "Thank you"}));
    EXPECT_FALSE(Recognition().anyAnswerExpected);
}

TEST_F(MonitorTest, LimitsClampBeforeTheWriteLink) {
    LoadProfile("sys=HYD\n"
                "dev=PUMP\n"
                "out=PRESS,double,,0,0,10,,,L:HYD_PRESS,new,,0\n"
                "logic:\n"
                "calc=12\n"
                "out=LOW,double,,0,-3,10,,,L:HYD_LOW,exist,,0\n"
                "logic:\n"
                "calc=[-7]\n"
                "out=UNLINKED,double,,0,,5,,,L:NEVER,New,,0\n"
                "logic:\n"
                "calc=8\n");
    RunScenarioPass();
    EXPECT_EQ(Param("HYD.PUMP.PRESS").value, 10);
    EXPECT_EQ(Param("HYD.PUMP.LOW").value, -3);
    EXPECT_EQ(Param("HYD.PUMP.UNLINKED").value, 5);
    std::vector<TimelineEntry> written = TimelineOf(TimelineKind::DrfWritten);
    ASSERT_EQ(written.size(), 2u) << "a link the module never registered is not written";
    EXPECT_EQ(written[0].text, "L:HYD_PRESS");
    EXPECT_EQ(written[0].value, 10);
    EXPECT_EQ(written[1].text, "L:HYD_LOW");
    EXPECT_EQ(written[1].value, -3);
}

TEST_F(MonitorTest, PauseAndCodeStepsFromTheFiles) {
    LoadProfile("sys=PROCEDURES\n"
                "dev=FLOW\n"
                "out=GO,int,,0,,,,,,,,0\n"
                "logic:\n"
                "instring=go\n"
                "execute=7,,1.5\n"
                "execute=8,[PROCEDURES.FLOW.LEVEL] (>L:A) [PROCEDURES.FLOW.LEVEL] (>L:B),2\n"
                "execute=8,[PROCEDURES.FLOW.NEG] (>L:C),0\n"
                "execute=8,[NO.SUCH.NAME] (>L:D),0\n"
                "execute=7,,1e39\n"
                "execute=0,Done,0\n"
                "calc=1\n"
                "out=LEVEL,double,,3.7,,,,,,,,0\n"
                "out=NEG,double,,-0.5,,,,,,,,0\n");
    ScheduleHeard(0.0, "go");
    RunScenarioUntil(4.0);
    std::vector<TimelineEntry> code = SentOfType(kMsgCode);
    ASSERT_EQ(code.size(), 3u);
    EXPECT_EQ(code[0].text, "3 (>L:A) [PROCEDURES.FLOW.LEVEL] (>L:B)") << "one reference per line";
    EXPECT_EQ(code[0].value, 2);
    EXPECT_EQ(code[1].text, "0 (>L:C)");
    EXPECT_EQ(code[2].text, "0 (>L:D)");
    EXPECT_GE(code[0].time, 1.5) << "after the pause";
    EXPECT_EQ(SpokenLines(), (std::vector<std::string>{"Done"}));
    EXPECT_TRUE(LogHas("Pause step skipped, not a number of seconds: " + std::to_string(1e39)));
    EXPECT_EQ(Scenario().simVars["L:A"], 3) << "the module ran the code";
}
} // namespace
