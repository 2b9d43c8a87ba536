// The logic language: how lines compile, and what the evaluators make of the compiled records.
#include "tests/systems/systems_fixture.h"

#include <cmath>
#include <limits>

namespace {
using LogicTest = SystemsTest;

// A model with values to test against: A.B.P, A.B.Q, A.B.R, A.B.V and the parameter under test A.B.T
// whose logic lines are given.
void LoadWithLogic(SystemsTest& test, const std::vector<std::string>& logic) {
    std::vector<std::string> lines = {"sys=A",           "dev=B",           "out=P,double,,0",
                                      "out=Q,double,,0", "out=R,double,,0", "out=V,double,,0",
                                      "out=T,double,,0"};
    lines.insert(lines.end(), logic.begin(), logic.end());
    test.Load(lines);
}

void Set(const std::string& name, double v) {
    SystemsTest::Param(name).value = v;
}

TEST_F(LogicTest, ConditionsCombineLeftToRightWithoutPrecedence) {
    LoadWithLogic(*this, {"logic:", "[A.B.P]==1", "||", "[A.B.Q]==2", "&&", "[A.B.R]>0"});
    LogicBlock& block = Block("A.B.T");
    ASSERT_EQ(block.conditions.size(), 3u);
    EXPECT_EQ(block.conditions[1].connectorMode, kConnectOr);
    EXPECT_EQ(block.conditions[2].connectorMode, kConnectAnd);
    struct Case {
        double p, q, r;
        bool holds;
    } cases[] = {{1, 0, 1, true}, {0, 2, 1, true}, {1, 2, 0, false}, {0, 0, 1, false}, {1, 0, 0, false}};
    for (const Case& c : cases) {
        Set("A.B.P", c.p);
        Set("A.B.Q", c.q);
        Set("A.B.R", c.r);
        EXPECT_EQ(BlockHolds(block), c.holds) << c.p << " " << c.q << " " << c.r;
    }
    // The flags of the latest evaluation (P 1, Q 0, R 0): true, then true or false, then true and false.
    EXPECT_TRUE(block.conditions[1].lastInput);
    EXPECT_FALSE(block.conditions[1].result);
    EXPECT_TRUE(block.conditions[1].accumulated);
    EXPECT_FALSE(block.conditions[2].accumulated);
}

TEST_F(LogicTest, CompiledReferencesHoldTheParametersOfTheFrozenModel) {
    // References across systems and devices, forwards and backwards, in conditions and calcs.
    Load({"sys=S1", "dev=D1", "out=A,double,,0", "out=B,double,,0", "logic:", "[S2.D3.C]>[S1.D1.A]",
          "calc=[S2.D3.C]+[S1.D1.A]", "sys=S2", "dev=D2", "out=X,double,,0", "dev=D3", "out=C,double,,0"});
    EXPECT_TRUE(Systems().frozen);
    LogicBlock& block = Block("S1.D1.B");
    const ParamRef* refs[] = {&block.conditions[0].left, &block.conditions[0].right,
                              &block.calcs[0].tokens[0].ref, &block.calcs[0].tokens[1].ref};
    for (const ParamRef* ref : refs) {
        SCOPED_TRACE(ref->name);
        ASSERT_EQ(ref->kind, kRefParameter);
        EXPECT_EQ(ref->target, ParameterOf(*ref)) << "the address is the parameter's own";
    }
    // Values written into the model after compilation are what the evaluators read.
    Param("S2.D3.C").value = 7;
    Param("S1.D1.A").value = 2;
    EXPECT_TRUE(BlockHolds(block));
    EXPECT_EQ(EvaluateBlockValue(block, 0), 9);
    // A reference made later without an owner (flows, phrases) resolves to the address as well.
    EXPECT_EQ(GetParamValue(ResolveParamRef("S2.D3.C")), 7);

    // The debug check sees any change of shape of a frozen model.
    const std::vector<std::string> model = {"sys=S1", "dev=D1", "out=A,double,,0", "logic:", "[S1.D1.A]==1"};
    struct Change {
        const char* what;
        void (*apply)();
    } changes[] = {
        {"a parameter added", [] { Systems().systems_vector[0].Devices[0].outParameters.emplace_back(); }},
        {"a device added", [] { Systems().systems_vector[0].Devices.emplace_back(); }},
        {"a system added", [] { Systems().systems_vector.emplace_back(); }},
        {"a parameter removed", [] { Systems().systems_vector[0].Devices[0].outParameters.pop_back(); }},
    };
    for (const Change& change : changes) {
        ResetSystems();
        Load(model);
        EXPECT_TRUE(SystemsModelUnchanged());
        change.apply();
        EXPECT_FALSE(SystemsModelUnchanged()) << change.what;
    }
}

TEST_F(LogicTest, ComparisonOperatorsAndValueLists) {
    LoadWithLogic(*this, {"logic:", "[A.B.V]==1;3;5", "logic:", "[A.B.V]!=1;3", "logic:", "[A.B.V]>1;3",
                          "logic:", "[A.B.P]<=[A.B.Q]", "logic:", "[A.B.P]==[A.B.Q]<", "logic:", "[A.B.V]>=2",
                          "logic:", "[A.B.V]<2", "logic:", "[A.B.V]!=[A.B.P]", "logic:", "3==[A.B.V]"});
    OutParameter& t = Param("A.B.T");
    EXPECT_EQ(t.logicBlocks[0].conditions[0].valueList, (std::vector<int32_t>{1, 3, 5}));
    EXPECT_EQ(t.logicBlocks[3].conditions[0].op, kOpLessEqual);
    EXPECT_EQ(t.logicBlocks[4].conditions[0].op, kOpEqual) << "\"==\" is looked for before \"<\"";
    struct Case {
        double v;
        bool expected[9];
    } cases[] = {
        //         ==list  !=list  >list  P<=Q  P==Q   >=2    <2     V!=P   3==V
        {1, {true, false, true, true, true, false, true, true, false}},
        {3, {true, false, true, true, true, true, false, true, true}},
        {4, {false, true, true, true, true, true, false, true, false}},
        {0, {false, true, false, true, true, false, true, false, false}},
    };
    for (const Case& c : cases) {
        Set("A.B.V", c.v);
        for (int k = 0; k < 9; ++k)
            EXPECT_EQ(BlockHolds(t.logicBlocks[k]), c.expected[k]) << "V " << c.v << " block " << k;
    }
    Set("A.B.P", 2);
    EXPECT_FALSE(BlockHolds(t.logicBlocks[3])) << "P 2 <= Q 0";
    Set("A.B.V", std::numeric_limits<double>::quiet_NaN());
    EXPECT_FALSE(BlockHolds(t.logicBlocks[0]));
    EXPECT_TRUE(BlockHolds(t.logicBlocks[1])) << "NaN equals no entry";
    EXPECT_TRUE(BlockHolds(t.logicBlocks[7])) << "NaN is never equal";
    EXPECT_FALSE(BlockHolds(t.logicBlocks[5]));
}

TEST_F(LogicTest, UnreadableConditionsNeverHoldAndAreLogged) {
    LoadWithLogic(*this, {"logic:", "just some words", "logic:", "||", "note to self", "logic:", "--==1",
                          "logic:", "[A.B.V]==1;x;2;"});
    OutParameter& t = Param("A.B.T");
    EXPECT_FALSE(BlockHolds(t.logicBlocks[0]));
    EXPECT_TRUE(BlockHolds(t.logicBlocks[1]))
        << "OR with a condition that never holds keeps the running result";
    Set("A.B.V", 1);
    EXPECT_FALSE(BlockHolds(t.logicBlocks[2]));
    EXPECT_EQ(t.logicBlocks[3].conditions[0].valueList, (std::vector<int32_t>{1, 2}));
    EXPECT_TRUE(BlockHolds(t.logicBlocks[3]));
    ASSERT_EQ(Systems().problems.size(), 4u);
    EXPECT_EQ(Systems().problems[0],
              "Logic of A.B.T: condition without a comparison operator never holds: just some words");
    EXPECT_NE(Systems().problems[3].find("list entry \"x\""), std::string::npos);
}

TEST_F(LogicTest, UnresolvedNamesReadZeroAndAreListed) {
    LoadWithLogic(*this, {"logic:", "[NO.SUCH.NAME]==0", "[A.B]==0", "calc=[A.B.MISSING]+[2]"});
    LogicBlock& block = Block("A.B.T");
    EXPECT_TRUE(BlockHolds(block));
    EXPECT_EQ(EvaluateBlockValue(block, 9), 2);
    EXPECT_EQ(Systems().unresolvedNames,
              (std::vector<std::string>{"A.B.T: NO.SUCH.NAME", "A.B.T: A.B", "A.B.T: A.B.MISSING"}));
    // Without an owner a failed lookup is silent and has no name.
    ParamRef none = ResolveParamRef("NO.SUCH.NAME");
    EXPECT_EQ(none.kind, kRefNone);
    EXPECT_TRUE(none.name.empty());
    EXPECT_EQ(GetParamValue(none), 0);
    EXPECT_EQ(Systems().unresolvedNames.size(), 3u);
    EXPECT_TRUE(Systems().problems.empty()) << "unresolved names are not log lines";
}

TEST_F(LogicTest, PhraseTextsAreComparedAsWrittenWhileTheNormalFormIsRegistered) {
    LoadWithLogic(*this, {"logic:", "instring=Gear Up", "logic:", "instring=gear up",
                          "logic:", "instring=any", "logic:", "instring=gear up", "[A.B.V]==1"});
    OutParameter& t = Param("A.B.T");
    EXPECT_EQ(t.logicBlocks[0].conditions[0].left.kind, kRefPhrase);
    EXPECT_EQ(t.logicBlocks[0].conditions[0].phraseText, "Gear Up");
    EXPECT_EQ(t.logicBlocks[0].conditions[0].phrase.text, "gear up");
    EXPECT_EQ(PhraseContext().phraseContext.back(), "any");
    EXPECT_EQ(PhraseContextSize(), kBuiltInPhraseCount + 2) << "gear up once, and any";
    EXPECT_FALSE(BlockHolds(t.logicBlocks[0], "gear up"));
    EXPECT_TRUE(BlockHolds(t.logicBlocks[0], "Gear Up"));
    EXPECT_TRUE(BlockHolds(t.logicBlocks[1], "gear up"));
    EXPECT_TRUE(BlockHolds(t.logicBlocks[2], "flaps five"));
    EXPECT_FALSE(BlockHolds(t.logicBlocks[2], ""));
    EXPECT_FALSE(BlockHolds(t.logicBlocks[3], "gear up")) << "V is 0";
    Set("A.B.V", 1);
    EXPECT_TRUE(BlockHolds(t.logicBlocks[3], "gear up"));
}

TEST_F(LogicTest, CalcChainsRunLeftToRightAndReadEarlierResults) {
    LoadWithLogic(*this,
                  {"logic:", "calc=[A.B.P]+[A.B.Q]/[2]", "logic:", "calc=[A.B.V]*[2]", "calc=[10]+[CBLOCK0]",
                   "logic:", "calc=5", "logic:", "calc=[A.B.V]/[A.B.P]", "logic:", "calc=[1]+[CBLOCK5]",
                   "calc=7", "logic:", "calc=[A.B.V]-[1]", "calc=4", "calc=[2]*[CBLOCK0]"});
    OutParameter& t = Param("A.B.T");
    Set("A.B.P", 3);
    Set("A.B.Q", 5);
    Set("A.B.V", 4);
    EXPECT_EQ(EvaluateBlockValue(t.logicBlocks[0], 0), 4) << "(3 + 5) / 2";
    EXPECT_EQ(EvaluateBlockValue(t.logicBlocks[1], 0), 18) << "10 + 2 * 4";
    EXPECT_EQ(t.logicBlocks[1].calcs[0].result, 8);
    EXPECT_EQ(EvaluateBlockValue(t.logicBlocks[2], 99), 5) << "a plain number calc takes constValue";
    Set("A.B.P", 0);
    EXPECT_EQ(EvaluateBlockValue(t.logicBlocks[3], 0), 0) << "division by 0 gives 0";
    // CBLOCK5 is not a position among the results: the operand keeps its previous value.
    LogicBlock& outOfRange = t.logicBlocks[4];
    EXPECT_EQ(EvaluateBlockValue(outOfRange, 0), 7);
    EXPECT_EQ(outOfRange.calcs[0].result, 1) << "1 + previous operand 0";
    outOfRange.calcs[0].tokens[1].operand = 2.5;
    EvaluateBlockValue(outOfRange, 0);
    EXPECT_EQ(outOfRange.calcs[0].result, 3.5);
    EXPECT_EQ(outOfRange.calcs[0].tokens[1].output, 3.5);
    // A calc without tokens adds nothing to the results; it takes the block's constValue, which the block's
    // last calc line set (to 0 here, as that line is no plain number).
    EXPECT_EQ(EvaluateBlockValue(t.logicBlocks[5], 0), 6) << "2 * (V - 1)";
    EXPECT_EQ(t.logicBlocks[5].constValue, 0);
    EXPECT_EQ(t.logicBlocks[5].calcs[1].result, 0);
}

TEST_F(LogicTest, BlockValueComesFromTheInputWhenTheCalcLoadsNothing) {
    LoadWithLogic(*this, {"logic:", "calc=+[1]", "logic:", "calc=[2]", "logic:"});
    OutParameter& t = Param("A.B.T");
    EXPECT_EQ(EvaluateBlockValue(t.logicBlocks[0], 41), 42) << "each calc with tokens starts from the input";
    EXPECT_EQ(t.logicBlocks[1].constValue, 2);
    EXPECT_EQ(EvaluateBlockValue(t.logicBlocks[2], 41), 41) << "no calcs: the input unchanged";
}

TEST_F(LogicTest, BinaryDigitsAndFloor) {
    struct Case {
        double in, out;
    } b2i[] = {{1011, 11},
               {101, 5},
               {12, 1},
               {7, 0},
               {-101, -5},
               {1011.9, 11},
               {1111111111, 1023},
               {3e10, 0},
               {std::numeric_limits<double>::infinity(), 0},
               {std::numeric_limits<double>::quiet_NaN(), 0},
               {-0.5, 0}};
    for (const Case& c : b2i) EXPECT_EQ(BinaryDigitsToInteger(c.in), c.out) << c.in;

    LoadWithLogic(*this, {"logic:", "calc=[A.B.V]b2i[0]", "logic:", "calc=[A.B.V]flr[0]"});
    OutParameter& t = Param("A.B.T");
    Set("A.B.V", 1011);
    EXPECT_EQ(EvaluateBlockValue(t.logicBlocks[0], 0), 11);
    Set("A.B.V", 2.7);
    EXPECT_EQ(EvaluateBlockValue(t.logicBlocks[1], 0), 2);
    Set("A.B.V", -2.5);
    EXPECT_EQ(EvaluateBlockValue(t.logicBlocks[1], 0), -3);
}

TEST_F(LogicTest, GraphsClampInterpolateAndNeedTwoPoints) {
    GrafPoint line[] = {{0, 0}, {10, 100}};
    EXPECT_EQ(InterpolateGraf(line, 5), 50);
    EXPECT_EQ(InterpolateGraf(line, -3), 0);
    EXPECT_EQ(InterpolateGraf(line, 12), 100);
    GrafPoint bent[] = {{0, 0}, {10, 100}, {20, 0}};
    EXPECT_EQ(InterpolateGraf(bent, 15), 50);
    EXPECT_EQ(InterpolateGraf(bent, 10), 100);
    GrafPoint unordered[] = {{10, 1}, {0, 2}, {20, 3}};
    EXPECT_EQ(InterpolateGraf(unordered, 15), 2.75) << "the first segment that holds it";
    EXPECT_EQ(InterpolateGraf(line, std::numeric_limits<double>::quiet_NaN()), 0);
    EXPECT_EQ(InterpolateGraf({}, 3), 0);

    LoadWithLogic(*this, {"logic:", "calc=[A.B.V]", "graf=0,0", "graf=10,100", "logic:", "calc=[A.B.V]",
                          "graf=0,7", "logic:", "graf=0,0", "graf=1,10"});
    OutParameter& t = Param("A.B.T");
    Set("A.B.V", 2.5);
    EXPECT_EQ(EvaluateBlockValue(t.logicBlocks[0], 0), 25);
    EXPECT_EQ(EvaluateBlockValue(t.logicBlocks[1], 0), 2.5) << "a one-point graph is not applied";
    EXPECT_EQ(EvaluateBlockValue(t.logicBlocks[2], 0.5), 5)
        << "a graph maps the input of a block without calcs";
}

TEST_F(LogicTest, ExecuteTemplatesAndPoses) {
    PoseCatalogue().poses = {"work_ovhd", "rest_idle"};
    LoadWithLogic(*this,
                  {"logic:", "execute=0,Gear up; [CAP],0", "execute=2,work_ovhd,1.5", "execute=2,work_none,1",
                   "execute=7,,2.5", "execute=8,1 (>K:GEAR_UP),", "execute=0,work_none,0"});
    const std::vector<ExecuteStep>& steps = Block("A.B.T").executeSteps;
    ASSERT_EQ(steps.size(), 6u);
    EXPECT_EQ(steps[0].text, "Gear up, [CAP]");
    EXPECT_FALSE(steps[1].poseUnknown);
    EXPECT_EQ(steps[1].value, 1.5);
    EXPECT_TRUE(steps[2].poseUnknown);
    EXPECT_EQ(steps[3].kind, kExecPause);
    EXPECT_EQ(steps[3].value, 2.5);
    EXPECT_EQ(steps[4].value, 0) << "an empty value is 0";
    EXPECT_FALSE(steps[5].poseUnknown) << "only position steps are checked";
}

TEST_F(LogicTest, UnusableItemsAreSkippedWithALogLine) {
    LoadWithLogic(*this, {"calc=1", "[A.B.V]==1", "logic:", "calc=5]", "calc=[A.B.V]+[CBLOCK]",
                          "calc=[1]+[CBLOCK-1]", "calc=[1]+[-]", "graf=1", "graf=x,1", "execute=0,too short",
                          "execute=x,text,0", "execute=0,text,abc"});
    LogicBlock& block = Block("A.B.T");
    EXPECT_TRUE(block.conditions.empty()) << "lines before the first logic: are ignored";
    ASSERT_EQ(block.calcs.size(), 4u);
    EXPECT_TRUE(block.calcs[0].tokens.empty());
    EXPECT_EQ(block.calcs[1].tokens.size(), 1u);
    EXPECT_EQ(block.calcs[2].tokens.size(), 1u);
    EXPECT_EQ(block.calcs[3].tokens.size(), 1u);
    EXPECT_TRUE(block.graf.empty());
    EXPECT_TRUE(block.executeSteps.empty());
    ASSERT_EQ(Systems().problems.size(), 9u);
    EXPECT_EQ(Systems().problems[0], "Logic of A.B.T: calc item \"5]\" has no \"[\", skipped: calc=5]");
    EXPECT_EQ(Systems().problems.back(), "Logic of A.B.T: execute value \"abc\" is not a number, skipped: "
                                         "execute=0,text,abc");
    EXPECT_NE(ReadBytes(logPath).find("graph point needs x and y"), std::string::npos);
}
} // namespace
