// The built-in recogniser's second look at a value heard in a phrase with slots: the other sayings of the
// phrase it weighs the value against; values with a digit blurred (said at once with another, in noise),
// which the decoder alone takes as other values and the check refuses; and values said plainly, which it
// still takes.
#include "platform/audio_clip.h"
#include "platform/engines/recogniser_cepstra.h"
#include "platform/engines/recogniser_parts.h"
#include "platform/engines/recogniser_values.h"
#include "systems/phrase_context.h"
#include "tests/engines/hearing.h"
#include "tests/engines/spoken_line.h"
#include "tests/speech/slot_graph_says.h"

#include <gtest/gtest.h>

namespace {

bool IsRival(const std::string& pattern, const std::string& heard, const std::string& other) {
    const SlotGraph g = ValueRivals(ParsePhrasePattern(pattern), {PhraseWords(heard)});
    return GraphSays(g, g.stateCount - 1, other);
}

TEST(ValueCheck, EverySayingOfThePhraseButTheOneHeardIsARival) {
    const std::string heading = "set heading {digits 3}";
    EXPECT_FALSE(IsRival(heading, "set heading two seven zero", "set heading two seven zero"));
    // Words that say the same digit are the same saying.
    EXPECT_FALSE(IsRival(heading, "set heading two seven zero", "set heading two seven oh"));
    EXPECT_FALSE(IsRival(heading, "set heading niner zero zero", "set heading nine oh zero"));
    EXPECT_TRUE(IsRival(heading, "set heading two seven zero", "set heading two seven one"));
    EXPECT_TRUE(IsRival(heading, "set heading two seven zero", "set heading seven seven zero"));
    EXPECT_TRUE(IsRival(heading, "set heading two seven zero", "set heading one one one"));
    // Only sayings of the phrase: not another phrase, not a heading of two digits.
    EXPECT_FALSE(IsRival(heading, "set heading two seven zero", "set heading two seven"));
    EXPECT_FALSE(IsRival(heading, "set heading two seven zero", "squawk two seven zero"));

    // A value of words of its own: one word more, one fewer or another word is a rival.
    const std::string altitude = "set altitude {number}";
    EXPECT_FALSE(IsRival(altitude, "set altitude two thousand", "set altitude two thousand"));
    EXPECT_TRUE(IsRival(altitude, "set altitude two thousand", "set altitude two thousand five hundred"));
    EXPECT_TRUE(IsRival(altitude, "set altitude two thousand", "set altitude two"));
    EXPECT_TRUE(IsRival(altitude, "set altitude two thousand", "set altitude three thousand"));
    EXPECT_TRUE(IsRival(altitude, "set altitude flight level two four zero", "set altitude two four zero"));
    const std::string frequency = "com one {frequency}";
    EXPECT_FALSE(IsRival(frequency, "com one one two one decimal five", "com one one two one point five"));
    EXPECT_TRUE(
        IsRival(frequency, "com one one two one decimal five", "com one one two one decimal five five"));
    // A letter's two spellings sound the same: the same saying.
    EXPECT_FALSE(IsRival("taxi {letter} {letter}", "taxi alpha juliet", "taxi alfa juliett"));
    EXPECT_FALSE(IsRival("taxi {letter}", "taxi whiskey", "taxi whisky"));
    EXPECT_TRUE(IsRival("taxi {letter}", "taxi alpha", "taxi bravo"));
    // A list and the fixed words of a phrase with two slots.
    EXPECT_TRUE(IsRival("flaps {up=0|one|five}", "flaps five", "flaps one"));
    EXPECT_FALSE(IsRival("flaps {up=0|one|five}", "flaps five", "flaps five"));
    const std::string two = "runway {digits 2} wind {digits 3}";
    EXPECT_TRUE(IsRival(two, "runway two seven wind two five zero", "runway two seven wind two five one"));
    EXPECT_TRUE(IsRival(two, "runway two seven wind two five zero", "runway two one wind two five zero"));
    EXPECT_FALSE(IsRival(two, "runway two seven wind two five zero", "runway two seven wind two five zero"));
}

TEST(ValueCheck, SayingsLeftOutTogetherAreNoRivalsAndTheirPrefixesAre) {
    const PhrasePattern altitude = ParsePhrasePattern("set altitude {number}");
    const std::vector<std::string> four = PhraseWords("set altitude four thousand"),
                                   feet = PhraseWords("set altitude four thousand feet"),
                                   more = PhraseWords("set altitude four thousand five hundred");
    SlotGraph g = ValueRivals(altitude, {four, feet});
    EXPECT_FALSE(GraphSays(g, g.stateCount - 1, "set altitude four thousand"));
    EXPECT_FALSE(GraphSays(g, g.stateCount - 1, "set altitude four thousand feet"));
    EXPECT_TRUE(GraphSays(g, g.stateCount - 1, "set altitude four thousand knots"));
    EXPECT_TRUE(GraphSays(g, g.stateCount - 1, "set altitude four thousand five hundred"));
    EXPECT_TRUE(GraphSays(g, g.stateCount - 1, "set altitude four"));
    // One saying left out that another begins with: the shorter is a rival of the longer only.
    g = ValueRivals(altitude, {more});
    EXPECT_TRUE(GraphSays(g, g.stateCount - 1, "set altitude four thousand"));
    EXPECT_FALSE(GraphSays(g, g.stateCount - 1, "set altitude four thousand five hundred"));
    g = ValueRivals(altitude, {more, four});
    EXPECT_FALSE(GraphSays(g, g.stateCount - 1, "set altitude four thousand"));
    EXPECT_FALSE(GraphSays(g, g.stateCount - 1, "set altitude four thousand five hundred"));
    EXPECT_TRUE(GraphSays(g, g.stateCount - 1, "set altitude four thousand six hundred"));
}

TEST(ValueCheck, ThePhraseGraphSaysWhatThePatternReads) {
    for (const char* pattern : {"set heading {digits 3}", "set altitude {number}", "com one {frequency}",
                                "flaps {up=0|one|five}"}) {
        const PhrasePattern p = ParsePhrasePattern(pattern);
        const SlotGraph g = PhraseGraphOf(p);
        for (const char* said :
             {"set heading two seven zero", "set heading two seven", "set altitude two thousand",
              "set altitude flight level two four zero", "set altitude thousand",
              "com one one two one decimal five", "com one one two one", "flaps five", "flaps fifteen"}) {
            std::vector<SlotValue> values;
            EXPECT_EQ(GraphSays(g, 1, said), MatchPhrasePattern(p, PhraseWords(said), values))
                << pattern << ": " << said;
        }
    }
}

void Append(AudioClip& to, const AudioClip& clip) {
    to.samples.insert(to.samples.end(), clip.samples.begin(), clip.samples.end());
}

// The built-in phrases and `more`.
std::vector<std::string> Grammar(std::initializer_list<const char*> more) {
    std::vector<std::string> phrases(kBuiltInPhrases, kBuiltInPhrases + kBuiltInPhraseCount);
    phrases.insert(phrases.end(), more.begin(), more.end());
    return phrases;
}
const std::vector<std::string> kGrammar =
    Grammar({"set heading {digits 3}", "squawk {digits 4}", "set altitude {number}", "com one {frequency}",
             "gear up", "set standard"});

// The value a phrase of the grammar says, or -1.
double ValueOf(const std::string& heard) {
    for (const char* pattern :
         {"set heading {digits 3}", "squawk {digits 4}", "set altitude {number}", "com one {frequency}"}) {
        std::vector<SlotValue> values;
        if (MatchPhrasePattern(ParsePhrasePattern(pattern), PhraseWords(heard), values))
            return values[0].value;
    }
    return -1;
}

TEST(ValueCheck, AValueWithABlurredDigitIsRefusedAndAPlainOneTaken) {
    Hearing h(kGrammar);
    ASSERT_TRUE(h.ok);
    const struct {
        const char* before;
        const char* blurred;
        const char* after;
        double value; // as said, had the digit been heard
    } cases[] = {
        {"set heading two", "seven", "zero", 270},  {"set heading one", "four", "five", 145},
        {"squawk seven", "three", "one two", 7312}, {"squawk two", "six", "five four", 2654},
        {"set heading three", "one", "five", 315},  {"squawk one", "five", "zero six", 1506},
    };
    uint32_t seed = 5;
    int guessed = 0,
        refused = 0; // taken as another value by the decoder alone; of them, refused by the check
    for (const char* voice : {"en-us+m3", "en-gb-x-rp+m5", "en-us+f2", "en-us+m6"}) {
        for (const auto& c : cases) {
            AudioClip clip = SpokenLine(c.before, voice);
            // The digit said at once with "nine", in noise as loud as both: no value can be told for sure.
            AudioClip blurred = SpokenLine(c.blurred, voice);
            const AudioClip nine = SpokenLine("nine", voice);
            for (size_t i = 0; i < blurred.samples.size() && i < nine.samples.size(); ++i)
                blurred.samples[i] = int16_t((blurred.samples[i] + nine.samples[i]) / 2);
            AddNoise(blurred, NoiseKind::Pink, 0, ++seed);
            Append(clip, blurred);
            Append(clip, SpokenLine(c.after, voice));
            AddNoiseFloor(clip, 3, ++seed);
            const UtteranceVerdict v = h.Hear(clip);
            if (!v.accepted) continue;
            const double value = ValueOf(v.heard);
            const ValueCertainty certainty = JudgeValues(h.d, v.heard);
            EXPECT_TRUE(certainty.hasSlots) << v.heard;
            if (value >= 0 && value != c.value) {
                ++guessed;
                refused += certainty.certain ? 0 : 1;
            }
        }
    }
    // The decoder alone takes several of them as other values, and the check refuses at least half of those.
    EXPECT_GE(guessed, 4);
    EXPECT_GE(2 * refused, guessed) << refused << " of " << guessed << " guesses refused";

    // Said plainly, values are taken as said.
    for (const auto& [said, value] : {std::pair<const char*, double>{"set heading two seven zero", 270},
                                      {"squawk one two zero zero", 1200}}) {
        const UtteranceVerdict v = h.Hear(SpokenInRoom(said, "en-us+m6", ++seed));
        ASSERT_TRUE(v.accepted) << said;
        // The check decodes with the utterance's own mean and puts the carried one back as it was, with
        // the weight it carries into the next utterance: the phrases' decoder and the yardstick's go on
        // alike.
        cmn_t* cmn = ps_get_feat(h.d.grammar)->cmn_struct;
        const CarriedMean before = KeepCarriedMean(cmn);
        const ValueCertainty certainty = JudgeValues(h.d, v.heard);
        const CarriedMean after = KeepCarriedMean(cmn);
        EXPECT_EQ(after.mean, before.mean);
        EXPECT_EQ(after.sum, before.sum);
        EXPECT_EQ(after.frames, before.frames);
        EXPECT_EQ(after.frames, KeepCarriedMean(ps_get_feat(h.d.phoneLoop)->cmn_struct).frames);
        EXPECT_TRUE(certainty.hasSlots);
        EXPECT_TRUE(certainty.certain)
            << said << " heard as " << v.heard << ", rival " << certainty.rival << " by " << certainty.margin;
        EXPECT_EQ(ValueOf(v.heard), value);
    }
}

// A fixed phrase that a slot's phrase also says ("flaps up" beside "flaps {up=0|one|five}") sets the slot's
// value as well: it is weighed like any value. A fixed phrase no slot says is left alone.
TEST(ValueCheck, WordsASlotAlsoSaysAreWeighedAsAValue) {
    Hearing h(Grammar({"flaps up", "flaps {up=0|one|five}", "gear up"}));
    ASSERT_TRUE(h.ok);
    uint32_t seed = 3;
    for (const char* said : {"flaps up", "gear up"}) {
        const UtteranceVerdict v = h.Hear(SpokenInRoom(said, "en-us+m6", ++seed));
        ASSERT_TRUE(v.accepted) << said;
        ASSERT_EQ(v.heard, said);
        const ValueCertainty c = JudgeValues(h.d, v.heard);
        const bool flaps = std::string(said) == "flaps up";
        EXPECT_EQ(c.hasSlots, flaps) << said;
        EXPECT_EQ(c.heardAgain.empty(), !flaps) << said; // decoded again to be weighed
        EXPECT_TRUE(c.certain) << said << ": rival " << c.rival << " by " << c.margin;
    }
}

// The value is weighed against the best saying of another value: "four thousand feet" is no rival of "four
// thousand", nor "decimal six zero" of "decimal six", however close they come.
TEST(ValueCheck, TheRivalOfAValueSaysAnotherValue) {
    Hearing h(kGrammar);
    ASSERT_TRUE(h.ok);
    uint32_t seed = 11;
    int weighed = 0;
    for (const char* voice : {"en-us+m3", "en-gb-x-rp+m5", "en-us+f2"}) {
        for (const char* said :
             {"set altitude four thousand", "set altitude one nine thousand", "com one one two one point six",
              "com one one three four decimal two five"}) {
            const UtteranceVerdict v = h.Hear(SpokenInRoom(said, voice, ++seed));
            if (!v.accepted) continue;
            const ValueCertainty c = JudgeValues(h.d, v.heard);
            if (c.rival.empty()) continue;
            ++weighed;
            EXPECT_NE(ValueOf(c.rival), ValueOf(c.heardAgain))
                << voice << ": " << said << " heard as " << c.heardAgain << ", rival " << c.rival;
        }
    }
    EXPECT_GE(weighed, 8);
}

// Values said right after another speaker's phrase: the live decoding normalises them with the mean that
// speaker's sound left and hears some digits as others; decoded again with their own mean, they are taken
// as said, and no value is taken wrong.
TEST(ValueCheck, AValueTheLiveDecodingMisheardIsTakenAsItsOwnSoundSaysIt) {
    Hearing h(kGrammar);
    ASSERT_TRUE(h.ok);
    uint32_t seed = 21;
    int liveRight = 0, liveWrong = 0, takenRight = 0, takenWrong = 0;
    for (const char* said :
         {"set heading one five seven", "set heading one zero seven", "squawk seven three zero six",
          "set heading three zero eight", "set heading one six zero", "squawk two five four six",
          "set heading two eight zero", "squawk one zero four seven"}) {
        h.Hear(SpokenInRoom("squawk one two zero zero", "en-029+f3", ++seed));
        UtteranceVerdict v = h.Hear(SpokenInRoom(said, "en-us+m3", ++seed));
        if (!v.accepted) continue;
        (v.heard == said ? liveRight : liveWrong)++;
        TakeValues(h.d, v);
        if (v.accepted) (v.heard == said ? takenRight : takenWrong)++;
    }
    ASSERT_GE(liveWrong, 2) << "the live decoding heard every value right: nothing was tried";
    EXPECT_EQ(takenWrong, 0);
    EXPECT_GE(takenRight, liveRight + 2)
        << liveRight << " heard right live, " << takenRight << " taken right";
}

} // namespace
