// Slots in the captain's phrases: the notation and its errors, the values read out of the words heard,
// and the words each slot's graph lets the recogniser hear.
#include "platform/phrase_slots.h"
#include "systems/phrase_context.h"
#include "tests/speech/slot_graph_says.h"

#include <gtest/gtest.h>

#include <set>

namespace {

std::vector<SlotValue> Match(const std::string& pattern, const std::string& heard, bool* matched = nullptr) {
    std::vector<SlotValue> values;
    bool ok = MatchPhrasePattern(ParsePhrasePattern(pattern), PhraseWords(heard), values);
    if (matched) *matched = ok;
    return values;
}

// Every word sequence the graph accepts from state 0 to state 1, up to `maxWords` words.
void Walk(const SlotGraph& g, int state, std::vector<std::string>& said, std::set<std::string>& out,
          size_t maxWords) {
    if (state == 1) {
        std::string text;
        for (const std::string& w : said) {
            if (!text.empty()) text += ' ';
            text += w;
        }
        out.insert(text);
    }
    for (const auto& [from, to] : g.nulls)
        if (from == state) Walk(g, to, said, out, maxWords);
    if (said.size() == maxWords) return;
    for (const SlotArc& arc : g.arcs) {
        if (arc.from != state) continue;
        said.push_back(arc.word);
        Walk(g, arc.to, said, out, maxWords);
        said.pop_back();
    }
}

SlotSpec Spec(const std::string& slot) {
    SlotSpec spec;
    std::string error;
    EXPECT_TRUE(ParseSlotSpec(slot, spec, error)) << slot << ": " << error;
    return spec;
}

TEST(PhraseSlotsTest, NotationAndItsNormalForm) {
    const struct {
        const char* written;
        const char* normal;
    } cases[] = {
        {"set heading {digits 3}", "set heading {digits 3}"},
        {"Set  Heading, { Digits 3 }", "set heading {digits 3}"},
        {"com one {FREQUENCY} please", "com one {frequency} please"},
        {"runway {digits 2}{letter}", "runway {digits 2} {letter}"},
        {"flaps {one|five|fifteen|up=0}", "flaps {one|five|fifteen|up=0}"},
        {"flaps { Twenty  Five = 25 | UP=0 }", "flaps {twenty five=25|up=0}"},
    };
    for (const auto& c : cases) {
        std::string error;
        EXPECT_EQ(NormaliseSlotPhrase(c.written, error), c.normal) << c.written;
        EXPECT_EQ(error, "") << c.written;
    }
    EXPECT_EQ(PhraseTemplate("set heading {digits 3} now"), "set heading ___ now");
    EXPECT_EQ(PhraseTemplate("no slot"), "no slot");
}

TEST(PhraseSlotsTest, MalformedSlotsAreNamedAndNeverRegistered) {
    const struct {
        const char* written;
        const char* reason; // a part of the error
    } cases[] = {
        {"set heading {digits}", "how many"},
        {"set heading {digits 0}", "how many"},
        {"set heading {digits 9}", "how many"},
        {"set heading {digits three}", "how many"},
        {"set heading {digit 3}", "no kind of slot"},
        {"set heading {}", "empty"},
        {"set heading {digits 3", "without its \"}\""},
        {"set heading digits 3}", "without its \"{\""},
        {"set {heading {digits 3}}", "inside a slot"},
        {"flaps {one}", "no kind of slot"},
        {"flaps {one|}", "choice is empty"},
        {"flaps {one|five=x}", "not a number"},
        {"flaps {one|5}", "not a word"},
        {"flaps {one|one}", "written twice"},
        {"{number} {number} {number} {number} {number} {number} {number} {number} {number}", "more than 8"},
        {"{number extra}", "takes nothing more"},
    };
    for (const auto& c : cases) {
        ResetPhraseContext();
        PhraseRecord record = RegisterPhrase(c.written);
        EXPECT_TRUE(record.hasSlots) << c.written;
        EXPECT_EQ(record.text, "") << c.written;
        EXPECT_NE(record.slotError.find(c.reason), std::string::npos)
            << c.written << ": " << record.slotError;
        EXPECT_EQ(PhraseContextSize(), kBuiltInPhraseCount) << c.written;
    }
    ResetPhraseContext();
    PhraseRecord good = RegisterPhrase("Set Heading {digits 3}");
    EXPECT_EQ(good.text, "set heading {digits 3}");
    EXPECT_EQ(PhraseContext().phraseContext.back(), "set heading {digits 3}");
    ResetPhraseContext();
}

TEST(PhraseSlotsTest, ValuesReadOutOfTheWordsHeard) {
    const struct {
        const char* pattern;
        const char* heard;
        double value;
        const char* spelled;
    } cases[] = {
        {"set heading {digits 3}", "set heading two seven zero", 270, "2 7 0"},
        {"set heading {digits 3}", "set heading zero niner oh", 90, "0 9 0"},
        {"set heading {digits 3}", "set heading four seven zero", 470, "4 7 0"}, // heard as said
        {"altitude {number}", "altitude two thousand five hundred", 2500, "2 thousand 5 hundred"},
        {"altitude {number}", "altitude one one thousand feet", 11000, "1 1 thousand"},
        {"altitude {number}", "altitude flight level three five zero", 35000, "flight level 3 5 0"},
        {"speed {number}", "speed one two zero knots", 120, "1 2 0"},
        {"com {frequency}", "com one two one decimal five", 121.5, "1 2 1 decimal 5"},
        {"com {frequency}", "com one two one point five", 121.5, "1 2 1 point 5"},
        {"com {frequency}", "com one one eight decimal zero two five", 118.025, "1 1 8 decimal 0 2 5"},
        {"taxi {letter}", "taxi alfa", 1, "alfa"},
        {"taxi {letter}", "taxi juliett", 10, "juliett"},
        {"taxi {letter}", "taxi x ray", 24, "x ray"},
        {"taxi {letter}", "taxi zulu", 26, "zulu"},
        {"flaps {up=0|one|five|fifteen|twenty five|thirty|forty}", "flaps twenty five", 25, "twenty five"},
        {"flaps {up=0|one|five|fifteen|twenty five|thirty|forty}", "flaps up", 0, "up"},
        {"gear {down|up}", "gear up", 2, "up"}, // neither written nor a number: its place
        {"flaps {one|two five}", "flaps two five", 25, "two five"},
    };
    for (const auto& c : cases) {
        bool matched = false;
        std::vector<SlotValue> values = Match(c.pattern, c.heard, &matched);
        ASSERT_TRUE(matched) << c.heard;
        ASSERT_EQ(values.size(), 1u) << c.heard;
        EXPECT_DOUBLE_EQ(values[0].value, c.value) << c.heard;
        EXPECT_EQ(values[0].spelled, c.spelled) << c.heard;
    }
    // Two slots, one after another, and words after a slot.
    bool matched = false;
    std::vector<SlotValue> two =
        Match("runway {digits 2} {letter} cleared", "runway two seven lima cleared", &matched);
    ASSERT_TRUE(matched);
    EXPECT_EQ(two[0].value, 27);
    EXPECT_EQ(two[1].value, 12);
}

TEST(PhraseSlotsTest, WordsThatDoNotSayThePhraseMatchNothing) {
    const struct {
        const char* pattern;
        const char* heard;
    } cases[] = {
        {"set heading {digits 3}", "set heading two seven"},
        {"set heading {digits 3}", "set heading two seven zero one"},
        {"set heading {digits 3}", "set speed two seven zero"},
        {"altitude {number}", "altitude one two three four five six"},
        {"altitude {number}", "altitude one two three thousand"},
        {"altitude {number}", "altitude flight level three five"},
        {"altitude {number}", "altitude knots"},
        {"com {frequency}", "com one two one"},
        {"com {frequency}", "com one two one decimal five two five zero"},
        {"taxi {letter}", "taxi x"},
        {"flaps {one|five}", "flaps fifteen"},
        {"set heading {digits}", "set heading two seven zero"}, // a malformed pattern matches nothing
    };
    for (const auto& c : cases) {
        bool matched = true;
        Match(c.pattern, c.heard, &matched);
        EXPECT_FALSE(matched) << c.pattern << " / " << c.heard;
    }
}

// What the recogniser may hear through a slot's graph is exactly what the value reader reads.
TEST(PhraseSlotsTest, EverySayingOfTheGraphReadsAsAValue) {
    const struct {
        const char* slot;
        size_t maxWords;
        size_t expectedCount; // sayings up to maxWords words
    } cases[] = {
        {"digits 2", 2, 144}, {"frequency", 5, 12 * 12 * 12 * 2 * 12},
        {"letter", 2, 30},    {"one|five|twenty five", 2, 3},
        {"number", 4, 0}, // too many to count
    };
    for (const auto& c : cases) {
        const SlotSpec spec = Spec(c.slot);
        std::set<std::string> sayings;
        std::vector<std::string> said;
        Walk(BuildSlotGraph(spec), 0, said, sayings, c.maxWords);
        if (c.expectedCount > 0) {
            EXPECT_EQ(sayings.size(), c.expectedCount) << c.slot;
        }
        for (const std::string& s : sayings) {
            SlotValue v;
            EXPECT_TRUE(DecodeSlot(spec, PhraseWords(s), v)) << c.slot << ": " << s;
        }
    }
    const SlotGraph graph = BuildSlotGraph(Spec("number"));
    for (const char* said :
         {"one two zero knots", "two thousand five hundred", "flight level three five zero",
          "one zero thousand feet", "five hundred", "one two three four five"})
        EXPECT_TRUE(GraphSays(graph, 1, said)) << said;
    for (const char* said : {"one two three four five six", "one two three thousand",
                             "flight level three five", "knots", "thousand", "one two hundred"})
        EXPECT_FALSE(GraphSays(graph, 1, said)) << said;
}

} // namespace
