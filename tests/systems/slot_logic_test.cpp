// Phrase conditions with slots in the logic language: their registration, the references "{1}".."{8}"
// in conditions and calcs, the compiled program giving what the records give, and a profile without
// slots compiling exactly as one always has.
#include "base/helpers.h"
#include "systems/logic_program.h"
#include "tests/systems/systems_fixture.h"

#include <algorithm>

namespace {
using SlotLogicTest = SystemsTest;

TEST_F(SlotLogicTest, ReferencesReadTheLatestSlotsHeardInConditionsAndCalcs) {
    Load({"sys=S", "dev=D", "out=ALT,double,,0,,,,,,,,0", "logic:", "instring=Climb To {number}",
          "[{1}]<=[S.D.CEILING]", "calc=[{1}]/[100]", "logic:", "instring=runway {digits 2} {letter}",
          "calc=[{1}]*[100]+[{2}]", "out=CEILING,double,,41000,,,,,,,,0"});
    EXPECT_TRUE(Systems().problems.empty());
    EXPECT_TRUE(Systems().unresolvedNames.empty());
    // Registered in its normal form, once; the condition keeps its text as written.
    const std::vector<std::string>& context = PhraseContext().phraseContext;
    EXPECT_EQ(context[kBuiltInPhraseCount], "climb to {number}");
    EXPECT_EQ(context[kBuiltInPhraseCount + 1], "runway {digits 2} {letter}");
    LogicBlock& climb = Block("S.D.ALT", 0);
    EXPECT_EQ(climb.conditions[0].phraseText, "Climb To {number}");
    EXPECT_EQ(climb.conditions[1].left.kind, kRefSlot);
    EXPECT_EQ(ResolveParamRef("{8}").kind, kRefSlot);
    EXPECT_EQ(ResolveParamRef("{0}").kind, kRefNone);
    EXPECT_EQ(ResolveParamRef("{9}").kind, kRefNone);

    // Matched in its normal form, whatever the capitals of the file.
    EXPECT_TRUE(BlockHolds(climb, "climb to flight level three five zero"));
    EXPECT_EQ(GetParamValue(ResolveParamRef("{1}")), 35000);
    EXPECT_DOUBLE_EQ(EvaluateBlockValue(climb, 0), 350);
    // Said, but above the ceiling: the profile's condition refuses it; the value is still what was said.
    EXPECT_FALSE(BlockHolds(climb, "climb to flight level four five zero"));
    EXPECT_EQ(GetParamValue(ResolveParamRef("{1}")), 45000);
    // Words that do not say it leave the latest values alone.
    EXPECT_FALSE(BlockHolds(climb, "climb to"));
    EXPECT_FALSE(BlockHolds(climb, ""));
    EXPECT_EQ(GetParamValue(ResolveParamRef("{1}")), 45000);
    LogicBlock& runway = Block("S.D.ALT", 1);
    EXPECT_TRUE(BlockHolds(runway, "runway two seven lima"));
    EXPECT_EQ(EvaluateBlockValue(runway, 0), 2712);
    EXPECT_EQ(Systems().heardSlots.count, 2);
    EXPECT_EQ(Systems().heardSlots.spelled[1], "lima");
    EXPECT_EQ(GetParamValue(ResolveParamRef("{3}")), 0) << "a slot the phrase does not have";
}

// The monitor runs the compiled program: it must hear slots and read them exactly as the records do.
TEST_F(SlotLogicTest, TheProgramHearsAndReadsSlotsAsTheRecordsDo) {
    Load({"sys=S", "dev=D", "out=HDG,double,,0,,,,,,,,0", "logic:", "instring=heading {digits 3}",
          "[{1}]<360", "calc=[{1}]+[0]", "logic:", "instring=heading {digits 3", "calc=1"});
    ASSERT_EQ(Systems().problems.size(), 1u);
    LogicProgram& program = Systems().program;
    ASSERT_TRUE(program.built);
    ProgramBlock& block = program.blocks[0];
    const struct {
        const char* heard;
        bool holds;
        double value;
    } cases[] = {{"heading two seven zero", true, 270},
                 {"heading four seven zero", false, 470},
                 {"heading two seven", false, 470},
                 {"heading {digits 3", false, 470}};
    for (const auto& c : cases) {
        bool running = true;
        ProgramCondition* conditions = program.conditions.data() + block.firstCondition;
        running = EvaluateProgramPhraseCondition(program, conditions[0], running, c.heard);
        running = EvaluateProgramCondition(program, conditions[1], running);
        EXPECT_EQ(running, c.holds) << c.heard;
        EXPECT_EQ(EvaluateProgramBlockValue(program, block, 0), c.value) << c.heard;
        EXPECT_EQ(BlockHolds(Block("S.D.HDG", 0), c.heard), c.holds) << c.heard;
        // The malformed phrase never holds, not even for its own text.
        ProgramCondition& malformed = program.conditions[program.blocks[1].firstCondition];
        EXPECT_FALSE(EvaluateProgramPhraseCondition(program, malformed, true, c.heard)) << c.heard;
    }
}

// A profile without slots: its phrase context is the built-ins and the normal forms of its phrases in
// order, nothing in its program tests slots, and nothing is heard into slots.
TEST_F(SlotLogicTest, AProfileWithoutSlotsCompilesAsItAlwaysHas) {
    Frame().AcfPath = std::string(TALVERO_SOURCE_DIR) + "/data/FN320";
    ScanPoses();
    CreateSystemsFromFile();
    EXPECT_TRUE(Systems().problems.empty());
    std::vector<std::string> expected(kBuiltInPhrases, kBuiltInPhrases + kBuiltInPhraseCount);
    for (const System& s : Systems().systems_vector)
        for (const Device& d : s.Devices)
            for (const OutParameter& p : d.outParameters)
                for (const LogicBlock& b : p.logicBlocks)
                    for (const Condition& c : b.conditions) {
                        if (c.left.kind != kRefPhrase) continue;
                        EXPECT_FALSE(c.phrase.hasSlots);
                        EXPECT_EQ(c.slotPattern, -1);
                        const std::string normal = NormalisePhrase(c.phraseText);
                        if (!normal.empty() &&
                            std::find(expected.begin(), expected.end(), normal) == expected.end())
                            expected.push_back(normal);
                    }
    EXPECT_EQ(PhraseContext().phraseContext, expected);
    EXPECT_TRUE(Systems().slotPatterns.empty());
    for (const ProgramCondition& c : Systems().program.conditions)
        EXPECT_EQ(c.flags & kConditionPhraseSlots, 0);
}

} // namespace
