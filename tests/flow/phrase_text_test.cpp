// Markers in spoken lines: names, runways, parameter values plain and spelled, and lines whose markers are
// not well formed.
#include "flow_fixture.h"

namespace {
struct PhraseTextTest : FlowTest {
    void SetUp() override {
        FlowTest::SetUp();
        LoadProfile("sys=ENG\n"
                    "dev=N1\n"
                    "out=LEFT,double,,1013.6,,,,,,,,0\n"
                    "out=NEG,double,,-250.9,,,,,,,,0\n"
                    "out=SMALL,double,,-0.5,,,,,,,,0\n"
                    "out=COUNT,int,,7,,,,,,,,0\n");
    }
};

TEST_F(PhraseTextTest, RunwaysAreSpokenWithTheirSide) {
    struct Case {
        const char* runway;
        const char* spoken;
    } cases[] = {{"27L", "27 LEFT"}, {"09R", "09 RIGHT"}, {"18C", "18 CENTER"}, {"36", "36"}, {"L", "L"},
                 {"", ""},           {"27l", "27l"}};
    for (const Case& c : cases) EXPECT_EQ(SpokenRunway(c.runway), c.spoken) << c.runway;

    PhraseText().takeoffRunway = "27L";
    PhraseText().landingRunway = "09R";
    EXPECT_EQ(FormatPhrase("Departure [TORW], arrival [LDRW], again [TORW]"),
              "Departure 27 LEFT, arrival 09 RIGHT, again [TORW]");
}

TEST_F(PhraseTextTest, NamesReplaceOnlyTheFirstMarker) {
    Settings().officerName = "Linda";
    Settings().captainName = "Mark";
    EXPECT_EQ(FormatPhrase("[TVO] here, [TVO] again"), "Linda here, [TVO] again");
    EXPECT_EQ(FormatPhrase("Ready [CAP]? [CAP]!"), "Ready Mark? [CAP]!");
    EXPECT_EQ(FormatPhrase("no markers at all"), "no markers at all");
}

TEST_F(PhraseTextTest, ParameterMarkersGiveWholeValuesPlainOrSpelled) {
    struct Case {
        const char* line;
        const char* spoken;
    } cases[] = {
        {"QNH <ENG.N1.LEFT>", "QNH 1013"},
        {"QNH <&ENG.N1.LEFT>", "QNH 1 0 1 3 "},
        {"Trim <&ENG.N1.NEG> units", "Trim - 2 5 0  units"},
        {"<ENG.N1.SMALL>", "0"},
        {"<ENG.N1.COUNT> and <&ENG.N1.COUNT>", "7 and 7 "},
        {"<ENG&.N1.LEFT>", "1013"}, // the "&" is removed wherever it stands, but spells only in front
        {"Value <NO.SUCH.NAME> and <ENG.N1>", "Value UNKNOWN and UNKNOWN"},
        {"<>", "UNKNOWN"},
    };
    for (const Case& c : cases) EXPECT_EQ(FormatPhrase(c.line), c.spoken) << c.line;
}

TEST_F(PhraseTextTest, MarkersThatAreNotWellFormedEndTheLoop) {
    struct Case {
        const char* line;
        const char* spoken;
    } cases[] = {
        {"speed > 250", "speed > 250"},
        {"a > b <ENG.N1.COUNT> c", "a > b 7 c"}, // a stray ">" before the marker is text
        {">> <<", ">> <<"},
        {"open <ENG.N1.COUNT", "open <ENG.N1.COUNT"},
        {"x <a <ENG.N1.COUNT> y", "x UNKNOWN y"}, // from the first "<" to the first ">" after it
    };
    for (const Case& c : cases) EXPECT_EQ(FormatPhrase(c.line), c.spoken) << c.line;
}

TEST_F(PhraseTextTest, TextInsertedByEarlierStepsIsFormattedToo) {
    Settings().officerName = "<ENG.N1.COUNT>";
    PhraseText().takeoffRunway = "<&ENG.N1.COUNT>L";
    EXPECT_EQ(FormatPhrase("[TVO] / [TORW]"), "7 / 7  LEFT");
}
} // namespace
