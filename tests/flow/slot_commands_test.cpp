// Commands that take a value said by the captain: the value reaches the logic through "{1}", is written
// through the write link and into code, is refused by the profile's own limits, and is read back digit by
// digit; a malformed slot is reported with its file and line and never fires.
#include "flow/phrase_text.h"
#include "flow_fixture.h"
#include "systems/profile_check.h"

namespace {
using SlotCommandsTest = FlowTest;

const char* kHeading = "sys=COMMANDS\n"
                       "dev=MCP\n"
                       "out=HEADING,double,,0,,,,,L:TVO_HDG,new,,0\n"
                       "logic:\n"
                       "instring=set heading {digits 3}\n"
                       "[{1}]>359\n"
                       "execute=0,Unable heading <&{1}>,0\n"
                       "logic:\n"
                       "instring=set heading {digits 3}\n"
                       "execute=0,Heading <&{1}> set,0\n"
                       "execute=8,[{1}] (>K:HEADING_BUG_SET),0\n"
                       "calc=[{1}]\n"
                       "out=COM,double,,0,,,,,L:TVO_COM,new,,0\n"
                       "logic:\n"
                       "instring=com one {frequency}\n"
                       "execute=0,Com one <&{1}>,0\n"
                       "calc=[{1}]*[1000]\n"
                       "out=FLAPS,double,,0,,,,,,,,0\n"
                       "logic:\n"
                       "instring=flaps {up=0|one|five|fifteen}\n"
                       "execute=0,Flaps <{1}>,0\n"
                       "calc=[{1}]\n";

TEST_F(SlotCommandsTest, TheValueHeardIsWrittenRefusedByTheLogicAndReadBack) {
    LoadProfile(kHeading);
    ScheduleHeard(0.1, "set heading zero niner zero");
    ScheduleHeard(1.0, "set heading four seven zero");
    ScheduleHeard(2.0, "com one one one eight decimal zero two five");
    ScheduleHeard(3.0, "flaps fifteen");
    RunScenarioUntil(4.0);
    EXPECT_EQ(SpokenLines(), (std::vector<std::string>{"Heading 0 9 0 set", "Unable heading 4 7 0",
                                                       "Com one 1 1 8 decimal 0 2 5", "Flaps 15"}));
    // Refused by the profile's first block: the heading keeps the value it took before.
    EXPECT_EQ(Param("COMMANDS.MCP.HEADING").value, 90);
    EXPECT_DOUBLE_EQ(Param("COMMANDS.MCP.COM").value, 118025);
    EXPECT_EQ(Param("COMMANDS.MCP.FLAPS").value, 15);
    std::vector<TimelineEntry> written = TimelineOf(TimelineKind::DrfWritten);
    ASSERT_FALSE(written.empty());
    EXPECT_EQ(written.front().text, "L:TVO_HDG");
    EXPECT_EQ(written.front().value, 90);
    std::vector<TimelineEntry> code = SentOfType(kMsgCode);
    ASSERT_EQ(code.size(), 1u);
    EXPECT_EQ(code[0].text, "90 (>K:HEADING_BUG_SET)");
    // Logged once for each utterance, however many blocks tested it.
    const std::string& log = Log().log.text;
    for (const char* line : {"Values heard in \"set heading {digits 3}\": {1} = 90\n",
                             "Values heard in \"set heading {digits 3}\": {1} = 470\n",
                             "Values heard in \"com one {frequency}\": {1} = 118.025\n"}) {
        size_t count = 0;
        for (size_t at = log.find(line); at != std::string::npos; at = log.find(line, at + 1)) ++count;
        EXPECT_EQ(count, 1u) << line << log;
    }
}

TEST_F(SlotCommandsTest, AFixedPhraseOrAClickedTemplateSetsNoValue) {
    LoadProfile(kHeading);
    // Heard words that do not say the phrase fire nothing and are not consumed by it.
    ScheduleHeard(0.1, "set heading two seven");
    ScheduleHeard(0.5, "set heading ___");
    RunScenarioUntil(1.0);
    EXPECT_TRUE(SpokenLines().empty());
    EXPECT_EQ(Param("COMMANDS.MCP.HEADING").value, 0);
    EXPECT_EQ(Systems().heardSlots.count, 0);
    // A marker of a slot before anything was heard reads 0 and spells nothing special.
    EXPECT_EQ(FormatPhrase("heading <{1}>, <&{2}>"), "heading 0, 0 ");
    EXPECT_EQ(FormatPhrase("<{9}>"), "UNKNOWN");
}

TEST_F(SlotCommandsTest, AMalformedSlotIsReportedWithItsFileAndLineAndNeverFires) {
    ASSERT_TRUE(LoadScenarioProfile(WriteProfile("sys=COMMANDS\n"
                                                 "dev=MCP\n"
                                                 "\n"
                                                 "out=HEADING,double,,0,,,,,,,,0\n"
                                                 "logic:\n"
                                                 "instring=set heading {digits}\n"
                                                 "execute=0,Heading,0\n"
                                                 "calc=1\n"
                                                 "logic:\n"
                                                 "instring=set course {digits 3\n"
                                                 "calc=2\n")));
    StartScenario();
    ProfileSummary summary = SummariseSystems();
    ASSERT_EQ(summary.problems.size(), 2u);
    EXPECT_NE(summary.problems[0].find("main.txt line 6"), std::string::npos) << summary.problems[0];
    EXPECT_NE(summary.problems[0].find("\"digits\" needs how many"), std::string::npos)
        << summary.problems[0];
    EXPECT_NE(summary.problems[1].find("main.txt line 10"), std::string::npos) << summary.problems[1];
    for (const std::string& phrase : PhraseContext().phraseContext)
        EXPECT_EQ(phrase.find('{'), std::string::npos) << "left out of the grammar: " << phrase;
    ScheduleHeard(0.1, "set heading {digits}");
    RunScenarioUntil(0.5);
    EXPECT_TRUE(SpokenLines().empty());
    EXPECT_EQ(Param("COMMANDS.MCP.HEADING").value, 0);
}

} // namespace
