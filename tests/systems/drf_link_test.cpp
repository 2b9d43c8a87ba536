// Read and write links: the DRF list line of a link, the read step into a parameter and the write step.
#include "tests/systems/systems_fixture.h"

#include <limits>

namespace {
using DrfLinkTest = SystemsTest;

TEST_F(DrfLinkTest, ListLineNeedsAnExactModeAndAPrefixTheDirectionAllows) {
    // The prefixes and modes that give a line, each way, and "New", "exist " and "a:", which give none,
    // are in the loader's DRF list, byte for byte.
    const std::pair<const char*, const char*> refused[] = {
        {"A:FOO", ""}, {"A:FOO", "new "}, {"A", "new"}, {"X:FOO", "new"}};
    for (const auto& [spec, mode] : refused)
        EXPECT_EQ(DrfListLine(spec, mode, 0, 0, 0, true), "") << spec << " " << mode;
    EXPECT_EQ(DrfListLine("L:x", "new", 12, 345, 6789, false), "L:x,n,12,345,6789,s,");
}

TEST_F(DrfLinkTest, ReadStep) {
    OutParameter p;
    p.value = 3.5;
    p.inDrf.varType = kDrfVarA;
    Drf().w2e[7] = 12.9;
    EXPECT_EQ(ReadInDrf(p), 3.5) << "no index: the parameter's own value is the input";
    EXPECT_EQ(p.value, 3.5);
    p.inDrf.drfIndex = 7;
    EXPECT_EQ(ReadInDrf(p), 12.9);
    EXPECT_EQ(p.value, 12.9);
    EXPECT_EQ(p.intValue, 12);
    EXPECT_EQ(p.inDrf.value, 12.9);
    Drf().w2e[7] = -7.9;
    EXPECT_EQ(ReadInDrf(p), -7.9);
    EXPECT_EQ(p.intValue, -7);
    Drf().w2e[7] = std::numeric_limits<double>::quiet_NaN();
    ReadInDrf(p);
    EXPECT_EQ(p.intValue, 0);
    Drf().w2e[7] = 1e12;
    ReadInDrf(p);
    EXPECT_EQ(p.intValue, std::numeric_limits<int32_t>::max());
    p.inDrf.drfIndex = 500;
    p.value = 1;
    EXPECT_EQ(ReadInDrf(p), 1) << "an index outside the array counts as none";
}

TEST_F(DrfLinkTest, KeyEventLinkGivesOneFromItsFirstEventOn) {
    OutParameter p;
    p.value = 5;
    p.inDrf.varType = kDrfVarK;
    p.inDrf.drfIndex = 7;
    Drf().w2e[7] = 42;
    EXPECT_EQ(ReadInDrf(p), 0) << "before any event";
    EXPECT_EQ(p.value, 0);
    p.inDrf.eventPending = true;
    EXPECT_EQ(ReadInDrf(p), 1);
    EXPECT_FALSE(p.inDrf.eventPending);
    EXPECT_EQ(ReadInDrf(p), 1);
    EXPECT_EQ(p.intValue, 1);
    // Without an index the event is still taken, but the input is the parameter's value.
    OutParameter q;
    q.value = 5;
    q.inDrf.varType = kDrfVarK;
    q.inDrf.eventPending = true;
    EXPECT_EQ(ReadInDrf(q), 5);
    EXPECT_EQ(q.inDrf.value, 1);
}

TEST_F(DrfLinkTest, WriteStepNeedsAUsableIndex) {
    DrfLink link;
    WriteOutDrf(link, 4);
    EXPECT_EQ(link.value, 0);
    link.drfIndex = 499;
    WriteOutDrf(link, 4);
    EXPECT_EQ(link.value, 4);
    EXPECT_EQ(Drf().e2w[499], 4);
    link.drfIndex = 500;
    WriteOutDrf(link, 8);
    EXPECT_EQ(link.value, 4);
    link.drfIndex = -2;
    WriteOutDrf(link, 8);
    EXPECT_EQ(link.value, 4);
}
} // namespace
