// Benchmark of the platform's speech recogniser on the 737 profile's phrase context: phrases spoken by
// several voices and rates, heard in a quiet room, in cockpit noise and in loud noise; speech outside the
// grammar and noise alone that became a phrase; and the time from the release of push-to-talk to the
// phrase, through the live recogniser and its utterance folder.
#include "app/frame.h"
#include "base/log.h"
#include "bench/bench_util.h"
#include "platform/recogniser.h"
#include "platform/voice.h"
#include "poses/pose_catalogue.h"
#include "platform/audio_clip.h"
#include "platform/phrase_slots.h"
#include "systems/phrase_context.h"
#include "systems/loader.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <thread>

namespace {

struct Style {
    int voice; // position among the platform's voices
    int rate;  // -11..11
};
// David, Zira and George at the normal rate, and David faster.
const Style kStyles[] = {{0, 0}, {2, 0}, {3, 0}, {0, 4}};

// Phrases a captain might say that no profile expects.
const char* const kOutside[] = {"what time is it",     "open the door please", "banana",
                                "the weather is nice", "call the tower",       "coffee with milk",
                                "i think so",          "where is my pen",      "turn left heading",
                                "good morning ladies", "seat belt sign",       "not now"};

struct Condition {
    const char* figure;
    int noise; // 0 none, 1 pink at 10 dB, 2 white at 5 dB
};

AudioClip Spoken(const std::string& phrase, const Style& style) {
    AudioClip clip{16000, RenderPlatformSpeech(phrase, style.voice, style.rate, 16000)};
    AddNoiseFloor(clip, 3, 11);
    return clip;
}

double Now() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

} // namespace

int main() {
    // The phrase context as the program builds it from the 737's systems files.
    Log().log.path.clear();
    Log().drf.path.clear();
    Frame().AcfPath = std::string(TALVERO_SOURCE_DIR) + "/data/PM738";
    ScanPoses();
    CreateSystemsFromFile();
    const std::vector<std::string> context = PhraseContext().phraseContext;
    // At most 48 phrases spoken, spread over the context: the profile's own first, then built-ins.
    std::vector<std::string> spoken;
    // Phrases with slots are templates, not texts to say: bench recognition_slots says values in them.
    for (size_t i = kBuiltInPhraseCount; i < context.size(); ++i)
        if (!HasSlotNotation(context[i])) spoken.push_back(context[i]);
    for (int i = 0; i < kBuiltInPhraseCount && spoken.size() < 48; i += 2)
        spoken.push_back(context[size_t(i)]);
    if (spoken.size() > 48) {
        std::vector<std::string> spread;
        for (size_t i = 0; i < 48; ++i) spread.push_back(spoken[i * spoken.size() / 48]);
        spoken.swap(spread);
    }
    std::printf("bench recognition: %zu phrases in the grammar, %zu spoken by %zu voices and rates\n",
                context.size(), spoken.size(), std::size(kStyles));

    std::vector<std::vector<AudioClip>> clips(spoken.size());
    for (size_t p = 0; p < spoken.size(); ++p)
        for (const Style& style : kStyles) clips[p].push_back(Spoken(spoken[p], style));

    // Offline decoding, one condition after the other: a cockpit's noise is steady from one press to the
    // next, and the decoder's normalisation follows it.
    RecogniseSamples(context, {}, 16000); // loads the grammar
    const Condition conditions[] = {
        {"accuracy", 0}, {"accuracy in cockpit noise", 1}, {"accuracy in loud noise", 2}};
    double decodeSeconds = 0, audioSeconds = 0;
    uint32_t seed = 100;
    for (const Condition& c : conditions) {
        int right = 0, wrong = 0, total = 0;
        for (size_t p = 0; p < spoken.size(); ++p) {
            for (size_t s = 0; s < clips[p].size(); ++s) {
                AudioClip clip = clips[p][s];
                if (clip.samples.empty()) continue;
                if (c.noise == 1) AddNoise(clip, NoiseKind::Pink, 10, ++seed);
                if (c.noise == 2) AddNoise(clip, NoiseKind::White, 5, ++seed);
                double start = Now();
                std::string heard = RecogniseSamples(context, clip.samples, clip.sampleRate);
                decodeSeconds += Now() - start;
                audioSeconds += ClipSeconds(clip);
                ++total;
                if (heard == spoken[p])
                    ++right;
                else if (heard != "non")
                    ++wrong;
                if (heard != spoken[p])
                    std::fprintf(stderr, "  %s, voice %zu: \"%s\" heard as \"%s\"\n", c.figure, s,
                                 spoken[p].c_str(), heard.c_str());
            }
        }
        PrintFigure("recognition", c.figure, total ? 100.0 * right / total : 0, "%");
        // The other side of accuracy: a wrong phrase acted on, rather than a "non" said again.
        PrintFigure("recognition", std::string(c.figure) + ", wrong phrases",
                    total ? 100.0 * wrong / total : 0, "%");
    }

    // False accepts: speech outside the grammar in a quiet room and in cockpit noise, and noise alone.
    int accepted = 0, tried = 0;
    for (int noisy = 0; noisy < 2; ++noisy) {
        for (const char* phrase : kOutside) {
            for (const Style& style : kStyles) {
                AudioClip clip = Spoken(phrase, style);
                if (noisy) AddNoise(clip, NoiseKind::Pink, 10, ++seed);
                std::string heard = RecogniseSamples(context, clip.samples, clip.sampleRate);
                ++tried;
                if (heard != "non") {
                    ++accepted;
                    std::fprintf(stderr, "  outside the grammar: \"%s\" heard as \"%s\"\n", phrase,
                                 heard.c_str());
                }
            }
        }
    }
    for (int i = 0; i < 24; ++i) {
        AudioClip noise{16000, std::vector<int16_t>(size_t(8000 + 1000 * (i % 8)), 0)};
        AddNoiseFloor(noise, 3, ++seed);
        if (i % 3 == 1) AddNoise(noise, NoiseKind::Pink, 0, ++seed);
        if (i % 3 == 2) AddNoise(noise, NoiseKind::White, 0, ++seed);
        std::string heard = RecogniseSamples(context, noise.samples, noise.sampleRate);
        ++tried;
        if (heard != "non") {
            ++accepted;
            std::fprintf(stderr, "  noise alone (%d) heard as \"%s\"\n", i % 3, heard.c_str());
        }
    }
    PrintFigure("recognition", "false accepts", 100.0 * accepted / tried, "%");
    PrintFigure("recognition", "decoding real-time factor",
                audioSeconds > 0 ? decodeSeconds / audioSeconds : 0, "x");

    // Release to phrase through the live recogniser: each utterance dropped in its folder, pressed, held for
    // the audio's length and released; then polled every millisecond until the phrase comes.
    namespace fs = std::filesystem;
    fs::path folder = fs::temp_directory_path() /
                      ("talvero-bench-recognition-" +
                       std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
    fs::create_directories(folder);
    RecogniserSetup setup;
    setup.phrases = context;
    setup.utteranceFolder = folder.string();
    std::vector<double> latencies;
    int missing = 0;
    if (StartPlatformRecogniser(setup)) {
        for (size_t i = 0; i < 24; ++i) {
            const AudioClip& clip = clips[(i * 7) % spoken.size()][i % std::size(kStyles)];
            char name[64];
            std::snprintf(name, sizeof name, "/utterance-%04zu.wav", i);
            WriteWav(folder.string() + name, clip);
            SetPlatformListening(true);
            std::this_thread::sleep_for(std::chrono::duration<double>(ClipSeconds(clip)));
            double released = Now();
            SetPlatformListening(false);
            std::string heard = "non";
            while (heard == "non" && Now() - released < 2.0) {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
                heard = NextPlatformResult();
            }
            if (heard == "non")
                ++missing;
            else
                latencies.push_back(1000 * (Now() - released));
        }
        ClosePlatformRecogniser();
    }
    fs::remove_all(folder);
    PrintFigure("recognition", "release to phrase median", Percentile(latencies, 50), "ms");
    PrintFigure("recognition", "release to phrase p99", Percentile(latencies, 99), "ms");
    if (missing) std::printf("bench recognition: %d of 24 live utterances gave no phrase\n", missing);
    return 0;
}
