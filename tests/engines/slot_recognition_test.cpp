// The built-in recogniser hears values inside the captain's phrases: slots are sub-graphs of its phrase
// graph, and the words it hears through them read as the value that was said.
#include "platform/recogniser.h"
#include "platform/voice.h"
#include "platform/audio_clip.h"
#include "systems/phrase_context.h"
#include "platform/phrase_slots.h"

#include <gtest/gtest.h>

namespace {

const std::vector<std::string> kSlotPhrases = {"set heading {digits 3}",
                                               "squawk {digits 4}",
                                               "set altitude {number}",
                                               "com one {frequency}",
                                               "flaps {up=0|one|five|fifteen|thirty}",
                                               "gear up",
                                               "set standard"};

std::vector<std::string> Grammar() {
    std::vector<std::string> phrases(kBuiltInPhrases, kBuiltInPhrases + kBuiltInPhraseCount);
    phrases.insert(phrases.end(), kSlotPhrases.begin(), kSlotPhrases.end());
    return phrases;
}

TEST(SlotRecognition, ASynthesisedValueIsHeardAndReadAsSaid) {
    const struct {
        const char* said;
        const char* pattern;
        double value;
    } cases[] = {
        {"set heading two seven zero", "set heading {digits 3}", 270},
        {"squawk one two zero zero", "squawk {digits 4}", 1200},
        {"flaps fifteen", "flaps {up=0|one|five|fifteen|thirty}", 15},
        {"com one one two one decimal five", "com one {frequency}", 121.5},
    };
    const std::vector<std::string> grammar = Grammar();
    uint32_t seed = 11;
    for (const auto& c : cases) {
        AudioClip clip{16000, RenderPlatformSpeech(c.said, 0, 0, 16000)};
        AddNoiseFloor(clip, 3, seed++);
        const std::string heard = RecogniseSamples(grammar, clip.samples, 16000);
        ASSERT_EQ(heard, c.said);
        std::vector<SlotValue> values;
        ASSERT_TRUE(MatchPhrasePattern(ParsePhrasePattern(c.pattern), PhraseWords(heard), values)) << heard;
        EXPECT_DOUBLE_EQ(values[0].value, c.value) << heard;
    }
    // A fixed phrase of the same grammar is still heard as itself.
    AudioClip gear{16000, RenderPlatformSpeech("gear up", 0, 0, 16000)};
    AddNoiseFloor(gear, 3, seed);
    EXPECT_EQ(RecogniseSamples(grammar, gear.samples, 16000), "gear up");
}

} // namespace
