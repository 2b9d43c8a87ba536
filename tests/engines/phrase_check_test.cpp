// The authors' phrase check (hearwav --check): phrases that sound alike are reported as heard for each
// other, phrases with slots are listed but not spoken, and the report sets the pair side by side; a list
// file's phrases are read as a profile's.
#include "tests/fakes/test_support.h"
#include "tools/hearwav/phrase_check.cpp"

#include <gtest/gtest.h>

namespace {
TEST(PhraseCheckTest, PhrasesThatSoundAlikeAreReportedAsHeardForEachOther) {
    const std::vector<std::string> grammar = {"gear up", "check the brakes", "check the breaks", "any",
                                              "set heading {digits 3}"};
    PhraseCheckResult r = CheckPhrases(grammar);
    ASSERT_EQ(r.voices.size(), 3u) << "the synthesiser has its voices";
    EXPECT_EQ(r.grammar, 5);
    EXPECT_EQ(r.phrases, 3) << "neither the wildcard nor the phrase with slots is spoken";
    EXPECT_EQ(r.skipped, (std::vector<std::string>{"set heading {digits 3}"}));
    EXPECT_EQ(r.utterances, 3 * 3 * 2) << "each phrase in three voices, plain and in noise";
    EXPECT_EQ(r.heardAsSaid + static_cast<int>(r.misses.size()), r.utterances);
    // Two phrases of the same sounds: the recogniser cannot tell them apart, so at least one of them is
    // taken for the other, and the check says so.
    int confused = 0;
    for (const PhraseCheckMiss& m : r.misses) {
        if (m.phrase == "check the brakes" && m.heard == "check the breaks") ++confused;
        if (m.phrase == "check the breaks" && m.heard == "check the brakes") ++confused;
        EXPECT_NE(m.heard, m.phrase);
    }
    EXPECT_GE(confused, 3);
    EXPECT_FALSE(r.Clean());
}

TEST(PhraseCheckTest, TheReportSetsThePairSideBySideAndCounts) {
    PhraseCheckResult r;
    r.voices = {"David", "Zira", "George"};
    r.grammar = 3;
    r.phrases = 2;
    r.utterances = 12;
    r.heardAsSaid = 10;
    r.misses = {{"flaps five", "flaps fifteen", "Zira", "plain"},
                {"gear up", "non", "George", "pink noise 10 dB"}};
    r.skipped = {"squawk {digits 4}"};
    EXPECT_EQ(
        DescribePhraseCheck(r),
        (std::vector<std::string>{
            "phrase check: 2 phrases said by David, Zira, George, plain and in pink noise at 10 dB, heard "
            "against all 3 of the grammar",
            "  \"flaps five\"  heard as \"flaps fifteen\"  (Zira, plain)",
            "  \"gear up\"     refused  (George, pink noise 10 dB)",
            "  \"squawk {digits 4}\"  not spoken: it has slots",
            "phrase check: 10 of 12 utterances heard as said, 1 heard as another phrase, 1 refused"}));
    EXPECT_FALSE(r.Clean());
    r.misses.clear();
    r.heardAsSaid = 12;
    EXPECT_TRUE(r.Clean());
    EXPECT_FALSE(PhraseCheckResult{}.Clean()) << "nothing heard is not a clean check";
}

// A list of phrases to hear recordings against: its slot phrases are the profile's slots, not the words
// "digits 3", which no captain says.
TEST(PhraseCheckTest, AListFilesPhrasesKeepTheirSlotsAndABadSlotIsNamedByLine) {
    TempFolder folder;
    const std::string path = folder.path + "/phrases.txt";
    folder.Write("phrases.txt", "Gear Up\r\n\nSet Heading, { Digits 3 }\r\ngear  up\nsquawk {digits}\n"
                                "flaps {up=0|one|five}\n");
    std::vector<std::string> problems;
    EXPECT_EQ(ReadPhraseList(path, problems),
              (std::vector<std::string>{"gear up", "set heading {digits 3}", "flaps {up=0|one|five}"}));
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_EQ(problems[0].rfind("line 5: ", 0), 0u) << problems[0];
}
TEST(PhraseCheckTest, APhraseHeardThroughSlotsIsShownWithTheValuesRead) {
    const std::vector<std::string> grammar = {"gear up", "squawk {digits 4}",
                                              "com one {frequency} standby {digits 1}"};
    EXPECT_EQ(DescribeHeard(grammar, "squawk one two zero zero"),
              "squawk one two zero zero  (squawk {digits 4}: 1200)");
    EXPECT_EQ(
        DescribeHeard(grammar, "com one one one eight decimal zero two five standby two"),
        "com one one one eight decimal zero two five standby two  (com one {frequency} standby {digits 1}: "
        "118.025 2)");
    EXPECT_EQ(DescribeHeard(grammar, "gear up"), "gear up");
    EXPECT_EQ(DescribeHeard(grammar, "non"), "non");
}
} // namespace
