// Which speech the Windows program uses: under wine, which has neither Windows' shared recogniser nor a
// voice that speaks, the automatic choice takes the built-in recogniser and voices and the log says why;
// the shared recogniser chosen alone fails as it always did, and the built-in one chosen says so.
#include "platform/recogniser.h"
#include "platform/voice.h"
#include "tests/platform_win32/under_wine.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

using ::testing::ElementsAre;

namespace {
std::vector<std::string> lines;
void Collect(const std::string& line) {
    lines.push_back(line);
}
const std::vector<std::string> kPhrases = {"before start checklist", "flaps up", "gear down"};
} // namespace

TEST(WindowsSpeechChoice, WithoutWindowsSpeechTheBuiltInRecogniserHearsAndTheLogSaysWhy) {
    if (!UnderWine()) GTEST_SKIP() << "only wine is known to lack Windows' shared recogniser";
    RecogniserSetup setup;
    setup.phrases = kPhrases;
    setup.log = Collect;
    lines.clear();
    ASSERT_TRUE(StartPlatformRecogniser(setup));
    EXPECT_THAT(lines,
                ElementsAre("Recognition: Windows' shared recogniser did not start (CoCreateInstance); "
                            "the built-in recogniser hears the captain",
                            ::testing::StartsWith("Recognition: no microphone could be opened")))
        << "wine has no recording device here either";
    EXPECT_TRUE(SetPlatformGrammar(kPhrases));
    ClosePlatformRecogniser();

    lines.clear();
    setup.kind = RecogniserKind::Shared;
    EXPECT_FALSE(StartPlatformRecogniser(setup));
    EXPECT_TRUE(lines.empty());
    EXPECT_FALSE(SetPlatformGrammar(kPhrases));
    ClosePlatformRecogniser();

    lines.clear();
    setup.kind = RecogniserKind::BuiltIn;
    ASSERT_TRUE(StartPlatformRecogniser(setup));
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines[0], "Recognition: the built-in recogniser hears the captain, as the settings ask");
    ClosePlatformRecogniser();
}

TEST(WindowsSpeechChoice, WithoutAVoiceThatSpeaksTheBuiltInVoicesSpeakForTheLinesLength) {
    if (!UnderWine()) GTEST_SKIP() << "only wine is known to answer every line with E_NOTIMPL";
    ASSERT_TRUE(StartPlatformVoice());
    const std::string choice = PlatformVoiceChoice();
    EXPECT_EQ(choice.rfind("Speech: the built-in voices speak (", 0), 0u) << choice;
    const std::vector<std::string> voices = PlatformVoiceDescriptions();
    ASSERT_FALSE(voices.empty());
    EXPECT_NE(voices[0].find("eSpeak"), std::string::npos) << voices[0];
    // No sound device under wine: the line still lasts as long as it sounds.
    const double seconds =
        static_cast<double>(RenderPlatformSpeech("Before start checklist complete", 0, 0, 16000).size()) /
        16000;
    ASSERT_GT(seconds, 0.8);
    const auto start = std::chrono::steady_clock::now();
    PlatformSpeak("Before start checklist complete");
    bool heard = false;
    while (std::chrono::steady_clock::now() - start < std::chrono::seconds(20)) {
        const bool speaking = GetPlatformVoiceStatus().speaking;
        heard = heard || speaking;
        if (heard && !speaking) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    const double lasted = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_TRUE(heard);
    EXPECT_GT(lasted, 0.8 * seconds);
    EXPECT_LT(lasted, seconds + 5);
    StopPlatformVoice();
}
