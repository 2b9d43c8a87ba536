// The recogniser's level control: each utterance brought to one speech level whether the microphone is
// faint or overdriven, the level set again when the loud part comes after a hiss, the same samples decoded
// however the sound is cut into chunks, a faint captain heard who would otherwise drown in the decoder's
// dither, and the room's sound around the words cut away.
#include "platform/audio_clip.h"
#include "platform/engines/recogniser_parts.h"
#include "tests/engines/hearing.h"
#include "tests/engines/spoken_line.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

AudioClip Say(const std::string& text, const char* voice, uint32_t seed) {
    AudioClip clip = SpokenLine(text, voice);
    // Push-to-talk's framing: 0.3 s of the room before the words and 0.2 s after.
    clip.samples.insert(clip.samples.begin(), 4800, int16_t(0));
    AppendSilence(clip, 0.2);
    AddNoiseFloor(clip, 3, seed);
    return clip;
}

AudioClip Scaled(AudioClip clip, double db) {
    const double g = std::pow(10.0, db / 20);
    for (int16_t& s : clip.samples) s = int16_t(std::clamp(std::lround(s * g), -32768L, 32767L));
    return clip;
}

// What the decoders are given of an utterance fed in chunks of `chunk` samples: the output since the
// front end last started the utterance over, and how often it did.
struct Decoded {
    std::vector<int16_t> samples;
    int restarts = 0;
    double gain = 1;
};

Decoded RunInChunks(const AudioClip& clip, size_t chunk, double target = kLevelTargetDb, bool trim = true) {
    FrontEnd f;
    f.levelTargetDb = target;
    f.trim = trim;
    ResetFrontEnd(f);
    Decoded d;
    std::vector<int16_t> out;
    auto take = [&] {
        if (f.restarted) {
            d.restarts += d.samples.empty() ? 0 : 1;
            d.samples.clear();
        }
        d.samples.insert(d.samples.end(), out.begin(), out.end());
    };
    for (size_t at = 0; at < clip.samples.size(); at += chunk) {
        RunFrontEnd(f, clip.samples.data() + at, std::min(chunk, clip.samples.size() - at), out);
        take();
    }
    FlushFrontEnd(f, out);
    take();
    d.gain = f.gain;
    return d;
}

std::vector<double> FrameLevels(const std::vector<int16_t>& samples) {
    std::vector<double> levels;
    for (size_t at = 0; at + 160 <= samples.size(); at += 160) {
        double e = 0;
        for (size_t i = at; i < at + 160; ++i) e += double(samples[i]) * samples[i];
        levels.push_back(10 * std::log10(e / 160 + 1));
    }
    return levels;
}

// How many 10 ms frames lie from the first to the last within `db` of the loudest: the words' length.
int LoudSpan(const std::vector<int16_t>& samples, double db) {
    const std::vector<double> levels = FrameLevels(samples);
    if (levels.empty()) return 0;
    const double loudest = *std::max_element(levels.begin(), levels.end());
    int first = -1, last = -1;
    for (size_t i = 0; i < levels.size(); ++i) {
        if (levels[i] < loudest - db) continue;
        if (first < 0) first = int(i);
        last = int(i);
    }
    return last - first + 1;
}

// The mean power of the loudest tenth of the 10 ms frames, in dB: near a vowel's level.
double LoudDb(const std::vector<int16_t>& samples) {
    std::vector<double> levels = FrameLevels(samples);
    std::sort(levels.rbegin(), levels.rend());
    double sum = 0;
    const size_t n = std::max<size_t>(1, levels.size() / 10);
    for (size_t i = 0; i < n; ++i) sum += levels[i];
    return sum / double(n);
}

} // namespace

// A faint, a normal and an overdriven captain come out within a few decibels of one another, and the whole
// speech reaches the decoders, in the microphone's 20 ms chunks, in odd ones and all at once alike.
TEST(LevelControl, EveryLevelComesOutAtOneLevelWhateverTheChunks) {
    const AudioClip spoken = Say("before start checklist", "en-us+m3", 5);
    std::vector<double> loud;
    for (double db : {-30.0, -12.0, 0.0, 9.0}) {
        const AudioClip clip = Scaled(spoken, db);
        const Decoded whole = RunInChunks(clip, clip.samples.size());
        const Decoded live = RunInChunks(clip, kChunkSamples);
        const Decoded odd = RunInChunks(clip, 77);
        EXPECT_NEAR(LoudSpan(whole.samples, 30), LoudSpan(clip.samples, 30), 1) << db << " dB: words are cut";
        EXPECT_TRUE(live.samples == whole.samples) << db << " dB: chunks of 20 ms decode other samples";
        EXPECT_TRUE(odd.samples == whole.samples) << db << " dB: chunks of 77 samples decode other samples";
        loud.push_back(LoudDb(whole.samples));
    }
    EXPECT_LT(*std::max_element(loud.begin(), loud.end()) - *std::min_element(loud.begin(), loud.end()), 6)
        << "from -30 dB to +9 dB (clipped), the loud frames end up this far apart";
    // Left as it is when switched off.
    const Decoded off = RunInChunks(Scaled(spoken, -30), kChunkSamples, 0);
    EXPECT_EQ(off.gain, 1);
}

// A hiss long enough to be taken for the speech (a breath into the microphone, 25 dB under the voice)
// before the first word: when the word comes, the level is set again from it and the decoding starts
// over, rather than the word being raised by the gain meant for the hiss into clipping.
TEST(LevelControl, ALoudWordAfterAHissSetsTheLevelAgain) {
    AudioClip clip = Say("gear down", "en-us+f2", 9);
    AudioClip hiss{16000, std::vector<int16_t>(8000, 0)};
    AddNoise(hiss, NoiseKind::White, 0, 3);
    const double voice = LoudDb(clip.samples);
    hiss = Scaled(hiss, voice - 25 - LoudDb(hiss.samples));
    clip.samples.insert(clip.samples.begin() + 4800, hiss.samples.begin(), hiss.samples.end());
    const Decoded d = RunInChunks(clip, kChunkSamples);
    EXPECT_GE(d.restarts, 1);
    EXPECT_GT(d.samples.size(), hiss.samples.size() + clip.samples.size() / 3)
        << "the hiss and the words are decoded, not cut away as the room's sound";
    EXPECT_LT(std::abs(20 * std::log10(d.gain) - (kLevelTargetDb + 2 - voice)), 10)
        << "the gain is set from the word, not from the hiss";
}

// Noise alone is never raised, nor cut: there is no speech to bring to the level or to cut it to.
TEST(LevelControl, FaintNoiseAloneIsNotRaisedNorCut) {
    AudioClip noise{16000, std::vector<int16_t>(24000, 0)};
    AddNoiseFloor(noise, 3, 1);
    AddNoise(noise, NoiseKind::Pink, 0, 2);
    noise = Scaled(noise, -20);
    const Decoded d = RunInChunks(noise, kChunkSamples);
    EXPECT_LE(d.gain, 1.0);
    EXPECT_EQ(d.samples.size(), noise.samples.size());
}

// A captain who presses push-to-talk a second before speaking and lets go two seconds after: the
// room's sound before and after the words, which free phones explain better than the phrases' silence,
// is cut to a margin around them; every frame of the words is kept, at 20 ms chunks as in one piece.
TEST(LevelControl, TheRoomsSoundAroundTheWordsIsCut) {
    AudioClip words = SpokenLine("flaps up", "en-us+f2");
    AudioClip clip{16000, std::vector<int16_t>(16000, 0)};
    clip.samples.insert(clip.samples.end(), words.samples.begin(), words.samples.end());
    AppendSilence(clip, 2); // push-to-talk held on after the words
    AddNoiseFloor(clip, 3, 12);
    AddNoise(clip, NoiseKind::Pink, 25, 13);
    const Decoded live = RunInChunks(clip, kChunkSamples);
    const Decoded whole = RunInChunks(clip, clip.samples.size());
    const Decoded uncut = RunInChunks(clip, kChunkSamples, kLevelTargetDb, false);
    EXPECT_TRUE(live.samples == whole.samples);
    ASSERT_EQ(uncut.samples.size(), clip.samples.size());
    // Of the 3 s of the room's sound, the lead before the words and the margin after them are decoded.
    EXPECT_LT(live.samples.size(), words.samples.size() + size_t(0.5 * 16000));
    for (double db : {15.0, 20.0})
        EXPECT_EQ(LoudSpan(live.samples, db), LoudSpan(uncut.samples, db)) << "the words are cut";
}

// A captain whose level changes from one utterance to the next by 36 dB (a boom microphone swung away
// and back, a headset swapped), in cockpit noise 15 dB under him: the decoder's energy features follow
// such a change only over several utterances, and the level control takes it at once.
TEST(LevelControl, ACaptainWhoseLevelChangesIsHeard) {
    const std::vector<std::string> grammar = {
        "gear up",           "gear down",          "flaps up",     "flaps five",
        "landing lights on", "landing lights off", "set standard", "before start checklist",
        "takeoff speeds",    "fuel check"};
    Hearing with(grammar), without(grammar);
    ASSERT_TRUE(with.ok && without.ok);
    without.d.front.levelTargetDb = 0;
    int heardWith = 0, heardWithout = 0;
    std::string wrong;
    uint32_t seed = 40;
    for (const char* voice : {"en-us+m3", "en-us+f2", "en-gb-x-rp+m5"}) {
        for (const char* phrase :
             {"gear down", "landing lights off", "before start checklist", "fuel check"}) {
            AudioClip clip = Say(phrase, voice, ++seed);
            AddNoise(clip, NoiseKind::Pink, 15, ++seed);
            clip = Scaled(clip, (seed / 2) % 2 ? -30 : 6);
            const std::string a = with.Heard(clip, kChunkSamples), b = without.Heard(clip, kChunkSamples);
            heardWith += a == phrase;
            heardWithout += b == phrase;
            if (a != phrase && a != "non") wrong += std::string(" \"") + phrase + "\" as \"" + a + "\";";
        }
    }
    EXPECT_GE(heardWith, 10) << "of 12 with the level control";
    EXPECT_LE(heardWithout + 2, heardWith) << "without it: " << heardWithout;
    EXPECT_EQ(wrong, "") << "with the level control";
}
