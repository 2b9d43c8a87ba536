// Recorded sound: WAV files in and out, resampling and mixed-in noise, as the tools, the stand-in and
// the recogniser's tests rely on them.
#include "base/helpers.h"
#include "platform/audio_clip.h"
#include "tests/fakes/test_support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

namespace {

std::string Le16(int v) {
    return std::string{char(v & 0xFF), char((v >> 8) & 0xFF)};
}
std::string Le32(uint32_t v) {
    return Le16(int(v & 0xFFFF)) + Le16(int(v >> 16));
}

// A WAV file's bytes with the given format fields and sample data.
std::string WavFile(int format, int channels, int rate, int bits, const std::string& data) {
    int block = channels * bits / 8;
    std::string fmt = Le16(format) + Le16(channels) + Le32(uint32_t(rate)) + Le32(uint32_t(rate * block)) +
                      Le16(block) + Le16(bits);
    std::string body = "WAVE" + std::string("fmt ") + Le32(16) + fmt + "LIST" + Le32(3) + "abc" +
                       std::string(1, '\0') + "data" + Le32(uint32_t(data.size())) + data;
    return "RIFF" + Le32(uint32_t(body.size())) + body;
}

AudioClip Tone(int rate, double hz, double seconds, double amplitude) {
    AudioClip clip;
    clip.sampleRate = rate;
    for (int i = 0; i < int(seconds * rate); ++i)
        clip.samples.push_back(int16_t(amplitude * std::sin(2 * std::numbers::pi * hz * i / rate)));
    return clip;
}

double Power(const std::vector<int16_t>& samples) {
    double sum = 0;
    for (int16_t s : samples) sum += double(s) * s;
    return samples.empty() ? 0 : sum / double(samples.size());
}

int ZeroCrossings(const std::vector<int16_t>& samples) {
    int count = 0;
    for (size_t i = 1; i < samples.size(); ++i) count += (samples[i - 1] < 0) != (samples[i] < 0);
    return count;
}

} // namespace

TEST(AudioClip, WrittenFilesReadBackExactlyAndAppearWhole) {
    TempFolder folder;
    AudioClip clip{22050, {0, 1, -1, 32767, -32768, 1234, -4321}};
    std::string path = folder.path + "/utterance-0001.wav";
    ASSERT_TRUE(WriteWav(path, clip));
    // Written under another name and renamed: nothing else is left in the folder.
    EXPECT_EQ(ListEntriesContaining(folder.path, ""), std::vector<std::string>{"utterance-0001.wav"});
    AudioClip back;
    ASSERT_TRUE(ReadWav(path, back));
    EXPECT_EQ(back.sampleRate, 22050);
    EXPECT_EQ(back.samples, clip.samples);
    EXPECT_EQ(ReadBytes(path).size(), 44u + 2 * clip.samples.size());
    EXPECT_FALSE(WriteWav(folder.path + "/missing/folder/x.wav", clip));
}

TEST(AudioClip, OtherFormatsBecomeMono16Bit) {
    TempFolder folder;
    struct Case {
        const char* what;
        std::string bytes;
        int rate;
        std::vector<int16_t> samples;
    } cases[] = {
        {"16-bit stereo, channels averaged",
         WavFile(1, 2, 44100, 16, Le16(1000) + Le16(3000) + Le16(-200) + Le16(-400)),
         44100,
         {2000, -300}},
        {"8-bit unsigned",
         WavFile(1, 1, 8000, 8, std::string{char(128), char(255), char(0)}),
         8000,
         {0, 32512, -32768}},
        {"24-bit",
         WavFile(1, 1, 48000, 24, std::string{0, 0, 0x40, 0, 0, char(0xC0)}),
         48000,
         {16384, -16384}},
        {"32-bit float, clipped",
         WavFile(3, 1, 16000, 32, Le32(0x3F000000) + Le32(0xC0000000)),
         16000,
         {16384, -32768}},
        {"odd trailing byte ignored", WavFile(1, 1, 16000, 16, Le16(7) + "x"), 16000, {7}},
    };
    for (const Case& c : cases) {
        AudioClip clip;
        ASSERT_TRUE(ReadWav(folder.Write("in.wav", c.bytes), clip)) << c.what;
        EXPECT_EQ(clip.sampleRate, c.rate) << c.what;
        EXPECT_EQ(clip.samples, c.samples) << c.what;
    }
}

TEST(AudioClip, BadFilesAreRejected) {
    TempFolder folder;
    std::string good = WavFile(1, 1, 16000, 16, Le16(5));
    struct Case {
        const char* what;
        std::string bytes;
    } cases[] = {
        {"empty", ""},
        {"not RIFF", "RIFX" + good.substr(4)},
        {"not WAVE", good.substr(0, 8) + "AVI " + good.substr(12)},
        {"cut inside the format", good.substr(0, 30)},
        {"no data chunk", good.substr(0, 36)},
        {"compressed", WavFile(2, 1, 16000, 4, "ab")},
        {"no channels", WavFile(1, 0, 16000, 16, Le16(5))},
        {"12-bit", WavFile(1, 1, 16000, 12, Le16(5))},
        {"absurd rate", WavFile(1, 1, 10, 16, Le16(5))},
    };
    for (const Case& c : cases) {
        AudioClip clip{16000, {1, 2, 3}};
        EXPECT_FALSE(ReadWav(folder.Write("bad.wav", c.bytes), clip)) << c.what;
        EXPECT_TRUE(clip.samples.empty()) << c.what;
    }
    AudioClip clip;
    EXPECT_FALSE(ReadWav(folder.path + "/none.wav", clip));
}

TEST(AudioClip, ResamplingKeepsLengthPitchAndLoudness) {
    struct Case {
        int from, to;
        double hz;
    } cases[] = {{48000, 16000, 440}, {22050, 16000, 1000}, {8000, 16000, 300}, {16000, 16000, 500}};
    for (const Case& c : cases) {
        AudioClip tone = Tone(c.from, c.hz, 1.0, 10000);
        AudioClip out = Resampled(tone, c.to);
        EXPECT_EQ(out.sampleRate, c.to);
        EXPECT_NEAR(double(out.samples.size()), c.to, 2) << c.from << " to " << c.to;
        EXPECT_NEAR(ZeroCrossings(out.samples), 2 * c.hz, 4) << c.from << " to " << c.to;
        EXPECT_NEAR(Power(out.samples) / Power(tone.samples), 1.0, 0.05) << c.from << " to " << c.to;
    }
    // A tone above the new Nyquist frequency is filtered out, not folded back.
    AudioClip high = Resampled(Tone(48000, 12000, 0.5, 10000), 16000);
    EXPECT_LT(Power(high.samples), Power(Tone(48000, 12000, 0.5, 10000).samples) * 0.01);
}

TEST(AudioClip, NoiseComesAtTheAskedRatioOfTheSpeechNotOfItsSilences) {
    for (NoiseKind kind : {NoiseKind::White, NoiseKind::Pink, NoiseKind::Brown, NoiseKind::Hum}) {
        for (double snr : {0.0, 5.0, 10.0, 20.0}) {
            // A second of tone between two seconds of silence: the ratio is to the tone's power.
            AudioClip clip{16000, std::vector<int16_t>(32000, 0)};
            AudioClip tone = Tone(16000, 300, 1.0, 3000);
            clip.samples.insert(clip.samples.begin() + 16000, tone.samples.begin(), tone.samples.end());
            AudioClip noisy = clip;
            AddNoise(noisy, kind, snr, 7);
            std::vector<int16_t> noise(noisy.samples.begin(), noisy.samples.begin() + 16000);
            EXPECT_NEAR(10 * std::log10(Power(tone.samples) / Power(noise)), snr, 0.5)
                << int(kind) << " at " << snr;
            AudioClip again = clip;
            AddNoise(again, kind, snr, 7);
            EXPECT_EQ(again.samples, noisy.samples);
            AddNoise(again = clip, kind, snr, 8);
            EXPECT_NE(again.samples, noisy.samples);
        }
    }
}

TEST(AudioClip, PinkNoiseFallsWithFrequencyWhiteNoiseDoesNot) {
    // Differences of neighbouring samples weigh high frequencies: pink noise has far less of them, brown
    // noise and an engine's hum less still.
    for (NoiseKind kind : {NoiseKind::White, NoiseKind::Pink, NoiseKind::Brown, NoiseKind::Hum}) {
        AudioClip clip{16000, std::vector<int16_t>(16000, 0)};
        AddNoiseFloor(clip, 0, 1);
        EXPECT_EQ(Power(clip.samples), 0);
        AddNoise(clip, kind, 0, 3);
        std::vector<int16_t> diff;
        for (size_t i = 1; i < clip.samples.size(); ++i)
            diff.push_back(int16_t(clip.samples[i] - clip.samples[i - 1]));
        double ratio = Power(diff) / Power(clip.samples);
        if (kind == NoiseKind::White)
            EXPECT_NEAR(ratio, 2.0, 0.2);
        else if (kind == NoiseKind::Pink)
            EXPECT_LT(ratio, 0.5);
        else
            EXPECT_LT(ratio, 0.1) << int(kind);
    }
    AudioClip floorOnly{16000, std::vector<int16_t>(16000, 0)};
    AddNoiseFloor(floorOnly, 3, 1);
    EXPECT_NEAR(std::sqrt(Power(floorOnly.samples)), 3, 0.3);
    AppendSilence(floorOnly, 0.5);
    EXPECT_DOUBLE_EQ(ClipSeconds(floorOnly), 1.5);
}
