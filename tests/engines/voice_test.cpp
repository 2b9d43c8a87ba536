// The built-in speech synthesiser of both products (eSpeak NG): its voices and how the program's filters see
// them, rendered audio (pitch, rate, resampling), and queued lines spoken without a sound device (timing,
// volume, order, pauses, stop).
#include "platform/engines/offline_speech.h"
#include "platform/engines/voice_espeak.h"
#include "platform/engines/voice_tap.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <mutex>
#include <numbers>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

// Median pitch in Hz of the loud 40 ms frames of a recording, by autocorrelation.
double MedianPitch(const std::vector<int16_t>& samples, int rate) {
    const size_t frame = static_cast<size_t>(rate) * 40 / 1000;
    std::vector<double> pitches;
    for (size_t start = 0; start + frame < samples.size(); start += frame) {
        double energy = 0;
        for (size_t i = 0; i < frame; ++i) energy += double(samples[start + i]) * samples[start + i];
        if (energy / static_cast<double>(frame) < 1000.0 * 1000.0) continue;
        size_t bestLag = 0;
        double best = 0;
        for (size_t lag = static_cast<size_t>(rate / 400); lag <= static_cast<size_t>(rate / 60); ++lag) {
            double sum = 0;
            for (size_t i = 0; i + lag < frame; ++i)
                sum += double(samples[start + i]) * samples[start + i + lag];
            if (sum > best) best = sum, bestLag = lag;
        }
        if (bestLag != 0) pitches.push_back(static_cast<double>(rate) / static_cast<double>(bestLag));
    }
    if (pitches.empty()) return 0;
    std::sort(pitches.begin(), pitches.end());
    return pitches[pitches.size() / 2];
}

int Peak(const std::vector<int16_t>& samples) {
    int peak = 0;
    for (int16_t s : samples) peak = std::max(peak, std::abs(static_cast<int>(s)));
    return peak;
}

double Rms(const std::vector<int16_t>& samples) {
    double sum = 0;
    for (int16_t s : samples) sum += double(s) * s;
    return samples.empty() ? 0 : std::sqrt(sum / static_cast<double>(samples.size()));
}

// Two renderings of one line differ slightly (by up to about 1% in length: the engine carries state from
// line to line), so audio is compared by length and loudness.
void ExpectSameSpeech(const std::vector<int16_t>& actual, const std::vector<int16_t>& expected,
                      const std::string& what) {
    EXPECT_NEAR(static_cast<double>(actual.size()), static_cast<double>(expected.size()),
                0.02 * static_cast<double>(expected.size()))
        << what;
    EXPECT_NEAR(Rms(actual), Rms(expected), 0.03 * Rms(expected)) << what;
}

int Position(const std::string& name) {
    std::vector<std::string> descriptions;
    for (const EspeakVoice& voice : EspeakVoices()) descriptions.emplace_back(voice.description);
    for (size_t i = 0; i < descriptions.size(); ++i)
        if (descriptions[i].find(name) != std::string::npos) return static_cast<int>(i);
    return -1;
}

// What the playback thread handed to the output.
struct Heard {
    std::mutex lock;
    std::vector<int16_t> samples;
};
Heard& TheHeard() {
    static Heard heard;
    return heard;
}
void Listen(const int16_t* samples, size_t count) {
    std::lock_guard<std::mutex> hold(TheHeard().lock);
    TheHeard().samples.insert(TheHeard().samples.end(), samples, samples + count);
}
std::vector<int16_t> TakeHeard() {
    std::lock_guard<std::mutex> hold(TheHeard().lock);
    return std::move(TheHeard().samples);
}

// Waits for the voice to fall silent; the seconds it took, or a negative number after `limit` seconds.
double WaitUntilSilent(double limit) {
    Clock::time_point start = Clock::now();
    while (GetOfflineVoiceStatus().speaking) {
        if (Clock::now() - start > std::chrono::duration<double>(limit)) return -1;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return std::chrono::duration<double>(Clock::now() - start).count();
}

double Seconds(const std::vector<int16_t>& samples, int rate) {
    return static_cast<double>(samples.size()) / rate;
}

// Lines are spoken with no sound server, so they are timed as if played and the tests hear them through
// the tap.
class SpokenVoice : public ::testing::Test {
protected:
    void SetUp() override {
        static char noSoundServer[] = "PULSE_SERVER=unix:/nonexistent/talvero-voice-test";
        putenv(noSoundServer); // Linux: no sound server, so lines are timed; Windows has no device under wine
        SetPlatformVoiceTap(Listen);
        TakeHeard();
        ASSERT_TRUE(StartOfflineVoice());
    }
    void TearDown() override {
        StopOfflineVoice();
        SetPlatformVoiceTap(nullptr);
    }
};

TEST(VoiceList, HoldsTheCaptainsAndTheFirstOfficersEnglishVoicesAndOneTheProgramDrops) {
    ASSERT_TRUE(StartOfflineVoice());
    std::vector<std::string> descriptions = OfflineVoiceDescriptions();
    StopOfflineVoice();
    // The program's filters: English voices only, the last "David" is the captain's, the last "Zira" the
    // first officer's, and the voice list file holds each one's second word.
    std::vector<std::string> english;
    std::string captain, firstOfficer;
    for (const std::string& d : descriptions) {
        if (d.find("English") == std::string::npos) continue;
        english.push_back(d);
        if (d.find("David") != std::string::npos) captain = d;
        if (d.find("Zira") != std::string::npos) firstOfficer = d;
    }
    EXPECT_LT(english.size(), descriptions.size()) << "no voice for the English filter to drop";
    EXPECT_GE(english.size(), 2u);
    EXPECT_NE(captain, "");
    EXPECT_NE(firstOfficer, "");
    for (const std::string& d : descriptions) {
        size_t space = d.find(' ');
        ASSERT_NE(space, std::string::npos) << d;
        std::string word = d.substr(space + 1, d.find(' ', space + 1) - space - 1);
        EXPECT_FALSE(word.empty() || word == "-") << d;
    }
    EXPECT_TRUE(OfflineVoiceDescriptions().empty()) << "voices are gone once the synthesiser stopped";
}

TEST(RenderedSpeech, EveryVoiceSpeaksAndTheCaptainSoundsLowerThanTheFirstOfficer) {
    for (size_t i = 0; i < EspeakVoices().size(); ++i)
        EXPECT_GT(Seconds(RenderPlatformSpeech("gear up", static_cast<int>(i), 0, 16000), 16000), 0.3)
            << EspeakVoices()[i].description;
    const std::string line = "flaps fifteen, gear up, landing lights on";
    double captain = MedianPitch(RenderPlatformSpeech(line, Position("David"), 0, 16000), 16000);
    double firstOfficer = MedianPitch(RenderPlatformSpeech(line, Position("Zira"), 0, 16000), 16000);
    EXPECT_GT(captain, 60);
    EXPECT_LT(captain, 150);
    EXPECT_GT(firstOfficer, 1.4 * captain);

    EXPECT_TRUE(RenderPlatformSpeech("gear up", -1, 0, 16000).empty());
    EXPECT_TRUE(RenderPlatformSpeech("gear up", static_cast<int>(EspeakVoices().size()), 0, 16000).empty());
}

TEST(RenderedSpeech, AFasterRateGivesShorterSpeechWithinTheEnginesEnds) {
    const std::string line = "before start checklist, flight deck preparation complete";
    const int zira = Position("Zira");
    struct Case {
        int rate;
        double minRatio; // length against rate 0
        double maxRatio;
    };
    const Case cases[] = {{-11, 1.6, 3.2}, {-10, 1.6, 3.2}, {-5, 1.1, 2.0}, {0, 0.99, 1.01},
                          {5, 0.4, 0.9},   {10, 0.2, 0.6},  {11, 0.2, 0.6}};
    double normal = Seconds(RenderPlatformSpeech(line, zira, 0, 22050), 22050);
    ASSERT_GT(normal, 1.5);
    double previous = 1e9;
    for (const Case& c : cases) {
        double length = Seconds(RenderPlatformSpeech(line, zira, c.rate, 22050), 22050);
        EXPECT_GE(length / normal, c.minRatio) << "rate " << c.rate;
        EXPECT_LE(length / normal, c.maxRatio) << "rate " << c.rate;
        if (c.rate == -10 || c.rate == 11) {
            // The same line at the same rate comes out a few tens of milliseconds longer or shorter
            // depending on what the engine rendered before; one rate step beyond the end would change
            // it by a tenth of a second or more.
            EXPECT_NEAR(length, previous, 0.06) << "rate " << c.rate << " is held at the engine's end";
        } else {
            EXPECT_LT(length, previous) << "rate " << c.rate;
        }
        previous = length;
    }
}

// The first officer's "#" alternatives are drawn from the C library's generator; saying a line must not
// set that generator back, or every line would be followed by the same draw.
TEST(RenderedSpeech, SayingALineLeavesTheProgramsRandomDrawsRandom) {
    const int david = Position("David");
    std::srand(7);
    std::vector<int> draws;
    for (int i = 0; i < 4; ++i) {
        ASSERT_FALSE(RenderPlatformSpeech("flaps five", david, 0, 16000).empty());
        draws.push_back(std::rand());
    }
    std::sort(draws.begin(), draws.end());
    EXPECT_EQ(std::unique(draws.begin(), draws.end()), draws.end()) << "the same draw after every line";
}

TEST(RenderedSpeech, OtherSampleRatesKeepLengthAndPitch) {
    const int david = Position("David");
    std::vector<int16_t> native = RenderPlatformSpeech("set standard", david, 0, 22050);
    for (int rate : {8000, 16000, 22050, 44100}) {
        std::vector<int16_t> samples = RenderPlatformSpeech("set standard", david, 0, rate);
        EXPECT_NEAR(Seconds(samples, rate), Seconds(native, 22050), 0.01) << rate;
        EXPECT_NEAR(MedianPitch(samples, rate), MedianPitch(native, 22050), 8) << rate;
        EXPECT_GT(Peak(samples), Peak(native) / 2) << rate;
    }
}

TEST(Resampling, PassesTonesBelowTheNewNyquistFrequencyAndStopsThoseAbove) {
    struct Case {
        double frequency;
        int from;
        int to;
        double minGain;
        double maxGain;
    };
    const Case cases[] = {
        {440, 22050, 16000, 0.97, 1.03}, {3000, 22050, 16000, 0.97, 1.03}, {6500, 22050, 16000, 0.9, 1.03},
        {9500, 22050, 16000, 0.0, 0.05}, {10500, 22050, 16000, 0.0, 0.05}, {1000, 16000, 22050, 0.97, 1.03},
        {3000, 22050, 8000, 0.97, 1.03}, {5000, 22050, 8000, 0.0, 0.05},
    };
    for (const Case& c : cases) {
        std::vector<int16_t> tone(static_cast<size_t>(c.from)); // one second
        for (size_t i = 0; i < tone.size(); ++i)
            tone[i] = static_cast<int16_t>(10000 * std::sin(2 * std::numbers::pi * c.frequency * i / c.from));
        std::vector<int16_t> out = ResampleSpeech(tone, c.from, c.to);
        ASSERT_NEAR(static_cast<double>(out.size()), c.to, 2);
        // The middle half, away from the edges.
        std::vector<int16_t> middle(out.begin() + c.to / 4, out.begin() + 3 * c.to / 4);
        double gain = Peak(middle) / 10000.0;
        EXPECT_GE(gain, c.minGain) << c.frequency << " Hz, " << c.from << " to " << c.to;
        EXPECT_LE(gain, c.maxGain) << c.frequency << " Hz, " << c.from << " to " << c.to;
    }
    EXPECT_TRUE(ResampleSpeech({}, 22050, 16000).empty());
}

// Speaking returns at once; the voice speaks for the lines' length, one after the other, each heard as it
// renders.
TEST_F(SpokenVoice, LinesQueueBehindEachOtherInTheirOwnVoiceAndRate) {
    const int david = Position("David");
    const int zira = Position("Zira");
    // The pair rendered twice: the engine carries state from line to line (a line said after another
    // may come out some per cent longer than after a third), and the queue says them after each other,
    // as the second rendering does.
    std::vector<int16_t> first, second;
    for (int i = 0; i < 2; ++i) {
        first = RenderPlatformSpeech("gear up", zira, 0, kEspeakSampleRate);
        second = RenderPlatformSpeech("positive climb", david, 5, kEspeakSampleRate);
    }
    SelectOfflineVoice(zira);
    Clock::time_point before = Clock::now();
    OfflineSpeak("gear up");
    const double returned = std::chrono::duration<double>(Clock::now() - before).count();
    EXPECT_LT(returned, 0.05);
    EXPECT_TRUE(GetOfflineVoiceStatus().speaking);
    SelectOfflineVoice(david);
    SetOfflineVoiceRate(5);
    SelectOfflineVoice(99); // not a voice: David stays
    OfflineSpeak("positive climb");
    double spoken = WaitUntilSilent(10) + returned;
    ASSERT_GT(spoken, returned) << "still speaking after 10 s";
    double both = Seconds(first, kEspeakSampleRate) + Seconds(second, kEspeakSampleRate);
    EXPECT_GT(spoken, 0.9 * both);
    EXPECT_LT(spoken, both + 1.0);
    std::vector<int16_t> heard = TakeHeard();
    ASSERT_GT(heard.size(), first.size());
    std::vector<int16_t> heardFirst(heard.begin(), heard.begin() + static_cast<long>(first.size()));
    std::vector<int16_t> heardSecond(heard.begin() + static_cast<long>(first.size()), heard.end());
    ExpectSameSpeech(heardFirst, first, "the first line");
    ExpectSameSpeech(heardSecond, second, "the second line");
    EXPECT_GT(MedianPitch(heardFirst, kEspeakSampleRate), 1.4 * MedianPitch(heardSecond, kEspeakSampleRate))
        << "the first officer's line, then the captain's";
}

TEST_F(SpokenVoice, VolumeScalesTheSamples) {
    const int zira = Position("Zira");
    SelectOfflineVoice(zira);
    double full = Rms(RenderPlatformSpeech("gear down", zira, 0, kEspeakSampleRate));
    ASSERT_GT(full, 500);
    for (int volume : {100, 50, 20, 0}) {
        SetOfflineVoiceVolume(volume);
        OfflineSpeak("gear down");
        ASSERT_GT(WaitUntilSilent(10), 0);
        EXPECT_NEAR(Rms(TakeHeard()), full * volume / 100.0, full * 0.03) << "volume " << volume;
    }
}

TEST_F(SpokenVoice, PausesBetweenSentencesShowThePausePhonemeWhileSpeaking) {
    OfflineSpeak("Gear up. Flaps one. Landing lights off.");
    // The status as the speech monitor samples it: sounding and pausing spells, in order.
    std::string spells;
    Clock::time_point start = Clock::now();
    for (;;) {
        PlatformVoiceStatus status = GetOfflineVoiceStatus();
        if (!status.speaking || Clock::now() - start > std::chrono::seconds(10)) break;
        char spell = status.phonemeId == 4 ? '.' : 's';
        if (spells.empty() || spells.back() != spell) spells.push_back(spell);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    EXPECT_FALSE(GetOfflineVoiceStatus().speaking);
    // Perhaps a short pause before the first sound, three spoken sentences with two pauses between them,
    // and perhaps the pause after the last sound.
    std::string inner = spells;
    if (!inner.empty() && inner.front() == '.') inner.erase(0, 1);
    if (!inner.empty() && inner.back() == '.') inner.pop_back();
    EXPECT_EQ(inner, "s.s.s") << spells;
}

TEST_F(SpokenVoice, StopWhileSpeakingReturnsPromptlyAndIsSafeTwice) {
    OfflineSpeak("Before start checklist. Flight deck preparation, completed. Light test, checked.");
    OfflineSpeak("Oxygen, tested, one hundred percent.");
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    ASSERT_TRUE(GetOfflineVoiceStatus().speaking);
    Clock::time_point before = Clock::now();
    StopOfflineVoice();
    EXPECT_LT(std::chrono::duration<double>(Clock::now() - before).count(), 1.0);
    StopOfflineVoice();
    EXPECT_FALSE(GetOfflineVoiceStatus().speaking);
    OfflineSpeak("not spoken");
    EXPECT_FALSE(GetOfflineVoiceStatus().speaking) << "a stopped voice takes no lines";
    // It starts again, and rendering works with or without it.
    EXPECT_FALSE(RenderPlatformSpeech("gear up", 0, 0, 16000).empty());
    ASSERT_TRUE(StartOfflineVoice());
    TakeHeard();
    OfflineSpeak("gear up");
    EXPECT_GT(WaitUntilSilent(10), 0);
    EXPECT_FALSE(TakeHeard().empty());
}

TEST_F(SpokenVoice, RenderingOnOtherThreadsWhileSpeakingGivesTheSameAudio) {
    const std::string line = "takeoff speeds, V one one four two, V R one four five";
    const int david = Position("David");
    std::vector<int16_t> alone = RenderPlatformSpeech(line, david, 0, 16000);
    ASSERT_FALSE(alone.empty());
    OfflineSpeak("flaps five, speed checked");
    OfflineSpeak("flaps one");
    std::vector<std::vector<int16_t>> rendered(3);
    std::vector<std::thread> threads;
    for (auto& out : rendered)
        threads.emplace_back([&out, &line, david] {
            for (int i = 0; i < 3; ++i) out = RenderPlatformSpeech(line, david, 0, 16000);
        });
    for (auto& t : threads) t.join();
    for (const auto& out : rendered) ExpectSameSpeech(out, alone, "rendered beside the others");
    EXPECT_GT(WaitUntilSilent(10), 0);
}

} // namespace
