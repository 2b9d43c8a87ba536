// The built-in recogniser on recordings of people, where the rest of the suite hears the synthesiser's
// voices: the speech library's own test recordings (in its Debian source packages, which the Windows
// product's engine build unpacks into build/engines) are heard as said, a value a person says is read as
// said, and a person's sentence outside the grammar is refused.
#include "platform/audio_clip.h"
#include "platform/phrase_slots.h"
#include "platform/recogniser.h"
#include "systems/phrase_context.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

namespace {

const std::string kRecordings =
    std::string(TALVERO_SOURCE_DIR) + "/build/engines/build/pocketsphinx-win64/test/data/";

// A raw recording of the library's (16-bit little-endian samples at 16 kHz), framed as push-to-talk
// frames an utterance: a third of a second of the room before and after, and a quiet microphone's floor.
AudioClip Recording(const std::string& name) {
    AudioClip clip{16000, {}};
    std::ifstream in(kRecordings + name, std::ios::binary);
    const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (bytes.empty()) return clip;
    clip.samples.assign(size_t(16000 / 3), 0);
    for (size_t i = 0; i + 1 < bytes.size(); i += 2)
        clip.samples.push_back(int16_t(uint16_t(uint8_t(bytes[i])) | uint16_t(uint8_t(bytes[i + 1]) << 8)));
    AppendSilence(clip, 1.0 / 3);
    AddNoiseFloor(clip, 3, uint32_t(bytes.size()));
    return clip;
}

AudioClip WavRecording(const std::string& name) {
    AudioClip clip;
    if (!ReadWav(kRecordings + name, clip)) return clip;
    clip.samples.insert(clip.samples.begin(), size_t(clip.sampleRate / 3), int16_t(0));
    AppendSilence(clip, 1.0 / 3);
    AddNoiseFloor(clip, 3, uint32_t(clip.samples.size()));
    return clip;
}

std::vector<std::string> Grammar(const std::vector<std::string>& own) {
    std::vector<std::string> phrases(kBuiltInPhrases, kBuiltInPhrases + kBuiltInPhraseCount);
    for (const char* p : {"gear up", "gear down", "flaps five", "before start checklist", "closed and locked",
                          "set heading {digits 3}", "squawk {digits 4}"})
        phrases.push_back(p);
    phrases.insert(phrases.end(), own.begin(), own.end());
    return phrases;
}

TEST(RecordedSpeech, PeoplesRecordingsAreHeardAsSaidAndAValueAsItsNumber) {
    const AudioClip goForward = Recording("goforward.raw");
    if (goForward.samples.empty()) GTEST_SKIP() << "no " << kRecordings << " (make engines unpacks it)";
    const std::vector<std::string> grammar =
        Grammar({"go forward ten meters", "he was not an ill disposed young man",
                 "he might even have been made amiable himself", "code {digits 5}", "{digits 5}",
                 "ten of clubs", "seven of clubs", "{digits 2}"});
    EXPECT_EQ(RecogniseSamples(grammar, goForward.samples, 16000), "go forward ten meters");
    const std::string librivox = "librivox/sense_and_sensibility_01_austen_64kb-0";
    for (const auto& [file, said] :
         {std::pair<std::string, std::string>{"880.wav", "he was not an ill disposed young man"},
          {"930.wav", "he might even have been made amiable himself"}}) {
        const AudioClip clip = WavRecording(librivox + file);
        ASSERT_FALSE(clip.samples.empty()) << file;
        EXPECT_EQ(RecogniseSamples(grammar, clip.samples, clip.sampleRate), said) << file;
    }
    // Short phrases, said briskly, and two digits alone.
    for (const auto& [file, said] : {std::pair<std::string, std::string>{"cards/001.wav", "ten of clubs"},
                                     {"cards/003.wav", "seven of clubs"},
                                     {"cards/004.wav", "five five"}}) {
        const AudioClip clip = WavRecording(file);
        ASSERT_FALSE(clip.samples.empty()) << file;
        EXPECT_EQ(RecogniseSamples(grammar, clip.samples, clip.sampleRate), said) << file;
    }
    // A man says five digits, and nothing before them.
    const AudioClip digits = Recording("tidigits/dhd.2934z.raw");
    const std::string heard = RecogniseSamples(grammar, digits.samples, 16000);
    ASSERT_EQ(heard, "two nine three four zero");
    std::vector<SlotValue> values;
    ASSERT_TRUE(MatchPhrasePattern(ParsePhrasePattern("{digits 5}"), PhraseWords(heard), values));
    EXPECT_DOUBLE_EQ(values[0].value, 29340);
}

TEST(RecordedSpeech, APersonsSentencesOutsideTheGrammarAreRefused) {
    const std::string librivox = "librivox/sense_and_sensibility_01_austen_64kb-0";
    if (WavRecording(librivox + "880.wav").samples.empty())
        GTEST_SKIP() << "no " << kRecordings << " (make engines unpacks it)";
    const std::vector<std::string> grammar = Grammar({});
    for (const char* file : {"870.wav", "880.wav", "890.wav", "920.wav", "930.wav"}) {
        const AudioClip clip = WavRecording(librivox + file);
        EXPECT_EQ(RecogniseSamples(grammar, clip.samples, clip.sampleRate), "non") << file;
    }
    // The digits of the recording above, where the grammar's only digits follow "set heading" or "squawk";
    // and a person's short phrases of a card game, two digits among them.
    const AudioClip digits = Recording("tidigits/dhd.2934z.raw");
    EXPECT_EQ(RecogniseSamples(grammar, digits.samples, 16000), "non");
    for (const char* file :
         {"cards/001.wav", "cards/002.wav", "cards/003.wav", "cards/004.wav", "cards/005.wav"}) {
        const AudioClip clip = WavRecording(file);
        EXPECT_EQ(RecogniseSamples(grammar, clip.samples, clip.sampleRate), "non") << file;
    }
}

} // namespace
