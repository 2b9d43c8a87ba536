// The authors' phrase check (hearwav --check): phrases that sound alike are reported as heard for each
// other, phrases with slots are said with example values, and the report sets the pair side by side; a
// list file's phrases are read as a profile's, and a value heard is shown.
#include "tests/fakes/test_support.h"
#include "tools/hearwav/phrase_check.cpp"

#include <gtest/gtest.h>

namespace {
TEST(PhraseCheckTest, PhrasesThatSoundAlikeAreReportedAsHeardForEachOther) {
    const std::vector<std::string> grammar = {"gear up", "check the brakes",       "check the breaks",
                                              "any",     "set heading {digits 3}", "set heading {digits}"};
    PhraseCheckResult r = CheckPhrases(grammar);
    ASSERT_EQ(r.voices.size(), 3u) << "the synthesiser has its voices";
    EXPECT_EQ(r.grammar, 6);
    EXPECT_EQ(r.phrases, 4) << "neither the wildcard nor the phrase whose slot cannot be read is spoken";
    EXPECT_EQ(r.skipped, (std::vector<std::string>{"set heading {digits}"}));
    EXPECT_EQ(r.utterances, 4 * 3 * 2) << "each phrase in three voices, plain and in noise";
    EXPECT_EQ(r.heardAsSaid + static_cast<int>(r.misses.size()), r.utterances);
    // Two phrases of the same sounds: the recogniser cannot tell them apart, so at least one of them is
    // taken for the other, and the check says so.
    int confused = 0, slotMissedInQuiet = 0;
    for (const PhraseCheckMiss& m : r.misses) {
        if (m.phrase == "check the brakes" && m.heard == "check the breaks") ++confused;
        if (m.phrase == "check the breaks" && m.heard == "check the brakes") ++confused;
        slotMissedInQuiet += m.phrase == "set heading two seven zero" && m.condition == "plain";
        EXPECT_NE(m.heard, m.phrase);
    }
    EXPECT_GE(confused, 3);
    // The slot phrase is said with its example value, which the slot takes: two of the three voices at
    // least are heard as they said it in a quiet room.
    EXPECT_LT(slotMissedInQuiet, 2);
    EXPECT_FALSE(r.Clean());
}

// Each kind of slot has an example the recogniser's slot graph takes and the logic reads as a value; a
// list is said once with each choice.
TEST(PhraseCheckTest, APhraseWithSlotsIsSaidWithAnExampleValueAndEachChoiceOfItsList) {
    const struct {
        const char* phrase;
        std::vector<std::string> sayings;
        std::vector<double> values; // those of the first saying
    } cases[] = {
        {"gear up", {"gear up"}, {}},
        {"squawk {digits 4}", {"squawk two seven zero one"}, {2701}},
        {"set altitude {number} feet", {"set altitude two thousand five hundred feet"}, {2500}},
        {"com {letter} {frequency}", {"com bravo one two one decimal five"}, {2, 121.5}},
        {"flaps {up=0|one|five} set {digits 2}",
         {"flaps up set two seven", "flaps one set two seven", "flaps five set two seven"},
         {0, 27}},
        {"flaps {five", {}, {}},
    };
    for (const auto& c : cases) {
        const std::vector<std::string> sayings = ExampleSayings(c.phrase);
        EXPECT_EQ(sayings, c.sayings) << c.phrase;
        if (sayings.empty() || c.values.empty()) continue;
        std::vector<SlotValue> values;
        ASSERT_TRUE(MatchPhrasePattern(ParsePhrasePattern(c.phrase), PhraseWords(sayings[0]), values))
            << c.phrase;
        ASSERT_EQ(values.size(), c.values.size()) << c.phrase;
        for (size_t i = 0; i < values.size(); ++i) EXPECT_DOUBLE_EQ(values[i].value, c.values[i]) << c.phrase;
    }
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
    r.skipped = {"squawk {digits}"};
    EXPECT_EQ(
        DescribePhraseCheck(r),
        (std::vector<std::string>{
            "phrase check: 2 phrases said by David, Zira, George, plain and in pink noise at 10 dB, heard "
            "against all 3 of the grammar",
            "  \"flaps five\"  heard as \"flaps fifteen\"  (Zira, plain)",
            "  \"gear up\"     refused  (George, pink noise 10 dB)",
            "  \"squawk {digits}\"  not spoken: its slots cannot be read",
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
