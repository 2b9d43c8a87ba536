// Benchmark of values heard inside the captain's phrases, on the 737 profile's phrase context: headings,
// squawk codes, frequencies and altitudes drawn at random, spoken by several voices and rates, in a quiet
// room and in cockpit noise; and the cost of the slots: the same grammar with and without its phrases with
// slots, decoding the profile's fixed phrases and from the release of push-to-talk to the phrase.
#include "app/frame.h"
#include "base/log.h"
#include "bench/bench_util.h"
#include "platform/engines/recogniser_parts.h"
#include "platform/engines/recogniser_values.h"
#include "platform/recogniser.h"
#include "platform/voice.h"
#include "poses/pose_catalogue.h"
#include "platform/audio_clip.h"
#include "systems/phrase_context.h"
#include "platform/phrase_slots.h"
#include "systems/loader.h"

#include <algorithm>
#include <chrono>
#include <cmath>
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

// One utterance of the measuring set: what is said, the phrase it says and the value in it.
struct Request {
    std::string said;
    std::string pattern;
    double value = 0;
};

const char* const kDigits[] = {"zero", "one", "two",   "three", "four",
                               "five", "six", "seven", "eight", "nine"};

struct Random {
    uint32_t state;
    int Below(int n) {
        state = state * 1664525u + 1013904223u;
        return static_cast<int>((state >> 8) % static_cast<uint32_t>(n));
    }
};

// A digit as pilots say it: nine is "niner" half of the time, zero "oh" now and then.
std::string DigitWord(int d, Random& r) {
    if (d == 9 && r.Below(2) == 0) return "niner";
    if (d == 0 && r.Below(5) == 0) return "oh";
    return kDigits[d];
}

std::string DigitsSaid(int value, int count, Random& r) {
    std::string said;
    for (int i = count - 1; i >= 0; --i) {
        int divisor = 1;
        for (int k = 0; k < i; ++k) divisor *= 10;
        if (!said.empty()) said += ' ';
        said += DigitWord((value / divisor) % 10, r);
    }
    return said;
}

// Drawn with a seed of their own: none of these values was used to set the recogniser up.
std::vector<Request> MeasuringSet() {
    Random r{20261207u};
    std::vector<Request> set;
    for (int i = 0; i < 10; ++i) {
        int heading = 1 + r.Below(360);
        set.push_back(
            {"set heading " + DigitsSaid(heading, 3, r), "set heading {digits 3}", double(heading)});
    }
    for (int i = 0; i < 10; ++i) {
        int code = 0;
        for (int k = 0; k < 4; ++k) code = code * 10 + r.Below(8);
        set.push_back({"squawk " + DigitsSaid(code, 4, r), "squawk {digits 4}", double(code)});
    }
    for (int i = 0; i < 10; ++i) {
        int khz = 118000 + 25 * r.Below(760); // 118.000 to 136.975 in 25 kHz steps
        int whole = khz / 1000, fraction = khz % 1000;
        std::string decimals = fraction % 100 == 0  ? DigitsSaid(fraction / 100, 1, r)
                               : fraction % 10 == 0 ? DigitsSaid(fraction / 10, 2, r)
                                                    : DigitsSaid(fraction, 3, r);
        set.push_back({"com one standby " + DigitsSaid(whole, 3, r) +
                           (r.Below(4) == 0 ? " point " : " decimal ") + decimals,
                       "com one standby {frequency}", khz / 1000.0});
    }
    for (int i = 0; i < 10; ++i) {
        Request q{"set altitude ", "set altitude {number}", 0};
        switch (i % 3) {
        case 0: {
            int level = 100 + 10 * r.Below(30);
            q.said += "flight level " + DigitsSaid(level, 3, r);
            q.value = level * 100.0;
            break;
        }
        case 1: {
            int thousands = 2 + r.Below(8), hundreds = r.Below(2) * 5;
            q.said += std::string(kDigits[thousands]) + " thousand" +
                      (hundreds ? std::string(" ") + kDigits[hundreds] + " hundred" : "");
            q.value = thousands * 1000.0 + hundreds * 100.0;
            break;
        }
        default: {
            int thousands = 10 + r.Below(10);
            q.said += DigitsSaid(thousands, 2, r) + " thousand";
            q.value = thousands * 1000.0;
            break;
        }
        }
        set.push_back(q);
    }
    return set;
}

AudioClip Spoken(const std::string& phrase, const Style& style) {
    AudioClip clip{16000, RenderPlatformSpeech(phrase, style.voice, style.rate, 16000)};
    AddNoiseFloor(clip, 3, 11);
    return clip;
}

double Now() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// Release to phrase through the live recogniser with this grammar: each utterance dropped in its folder,
// pressed, held for the audio's length and released, then polled every millisecond until the phrase comes.
std::vector<double> ReleaseToPhrase(const std::vector<std::string>& grammar,
                                    const std::vector<AudioClip>& clips, int& missing) {
    namespace fs = std::filesystem;
    fs::path folder = fs::temp_directory_path() /
                      ("talvero-bench-slots-" +
                       std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
    fs::create_directories(folder);
    RecogniserSetup setup;
    setup.phrases = grammar;
    setup.utteranceFolder = folder.string();
    std::vector<double> latencies;
    if (StartPlatformRecogniser(setup)) {
        for (size_t i = 0; i < clips.size(); ++i) {
            char name[64];
            std::snprintf(name, sizeof name, "/utterance-%04zu.wav", i);
            WriteWav(folder.string() + name, clips[i]);
            SetPlatformListening(true);
            std::this_thread::sleep_for(std::chrono::duration<double>(ClipSeconds(clips[i])));
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
    return latencies;
}

} // namespace

int main() {
    // The phrase context as the program builds it from the 737's systems files.
    Log().log.path.clear();
    Log().drf.path.clear();
    Frame().AcfPath = std::string(TALVERO_SOURCE_DIR) + "/data/PM738";
    ScanPoses();
    CreateSystemsFromFile();
    const std::vector<std::string> withSlots = PhraseContext().phraseContext;
    // The same grammar without its phrases with slots, the flap settings listed one by one as they were.
    std::vector<std::string> withoutSlots, fixed;
    for (const std::string& phrase : withSlots)
        if (!HasSlotNotation(phrase)) withoutSlots.push_back(phrase);
    for (const char* flaps : {"flaps one", "flaps five", "flaps fifteen", "flaps thirty"})
        if (std::find(withoutSlots.begin(), withoutSlots.end(), flaps) == withoutSlots.end())
            withoutSlots.push_back(flaps);
    for (size_t i = kBuiltInPhraseCount; i < withoutSlots.size(); ++i) fixed.push_back(withoutSlots[i]);
    std::vector<std::string> slotPhrases;
    for (const std::string& phrase : withSlots)
        if (HasSlotNotation(phrase)) slotPhrases.push_back(phrase);
    const std::vector<Request> requests = MeasuringSet();
    std::printf(
        "bench recognition-slots: %zu phrases in the grammar (%zu with slots), %zu values spoken by %zu "
        "voices and rates\n",
        withSlots.size(), slotPhrases.size(), requests.size(), std::size(kStyles));

    // Values heard, in a quiet room and in cockpit noise, by the decoders as the recogniser runs them:
    // the decoder's verdict alone, and with the check of the value against the lattice's alternatives.
    Decoders d;
    std::string error;
    if (!OpenDecoders(d, error) || !LoadGrammar(d, withSlots).ok) {
        std::printf("bench recognition-slots: no recogniser (%s)\n", error.c_str());
        return 0;
    }
    uint32_t seed = 300;
    int wrongChecked = 0, wrongAlone = 0, tried = 0;
    double slotDecode = 0, slotAudio = 0;
    std::vector<double> checkMs;
    for (int noisy = 0; noisy < 2; ++noisy) {
        int exactChecked = 0, exactAlone = 0, total = 0;
        for (const Request& q : requests) {
            for (size_t s = 0; s < std::size(kStyles); ++s) {
                AudioClip clip = Spoken(q.said, kStyles[s]);
                if (clip.samples.empty()) continue;
                if (noisy) AddNoise(clip, NoiseKind::Pink, 10, ++seed);
                double start = Now();
                BeginUtterance(d);
                FeedUtterance(d, clip.samples.data(), clip.samples.size());
                const UtteranceVerdict verdict = EndUtterance(d, true);
                slotDecode += Now() - start;
                slotAudio += ClipSeconds(clip);
                start = Now();
                const bool certain =
                    verdict.accepted && JudgeValues(d, verdict.heard, verdict.speechFrames).certain;
                checkMs.push_back(1000 * (Now() - start));
                ++total;
                ++tried;
                std::vector<SlotValue> values;
                const bool right =
                    MatchPhrasePattern(ParsePhrasePattern(q.pattern), PhraseWords(verdict.heard), values) &&
                    values.size() == 1 && std::abs(values[0].value - q.value) < 1e-6;
                if (verdict.accepted) (right ? exactAlone : wrongAlone)++;
                if (certain) (right ? exactChecked : wrongChecked)++;
                if (!right || !certain)
                    std::fprintf(stderr, "  %s, voice %zu: \"%s\" heard as \"%s\"%s\n",
                                 noisy ? "noise" : "quiet", s, q.said.c_str(),
                                 verdict.accepted ? verdict.heard.c_str() : "non",
                                 verdict.accepted && !certain ? " (refused: unsure)" : "");
            }
        }
        const std::string where = noisy ? " in cockpit noise" : "";
        PrintFigure("recognition-slots", "exact value" + where, total ? 100.0 * exactChecked / total : 0,
                    "%");
        PrintFigure("recognition-slots", "exact value" + where + ", decoder alone",
                    total ? 100.0 * exactAlone / total : 0, "%");
    }
    PrintFigure("recognition-slots", "wrong value accepted", tried ? 100.0 * wrongChecked / tried : 0, "%");
    PrintFigure("recognition-slots", "wrong value accepted, decoder alone",
                tried ? 100.0 * wrongAlone / tried : 0, "%");
    CloseDecoders(d);

    // The cost of the slots: the profile's fixed phrases decoded through both grammars, one run.
    std::vector<AudioClip> fixedClips;
    for (size_t p = 0; p < fixed.size(); ++p)
        fixedClips.push_back(Spoken(fixed[p], kStyles[p % std::size(kStyles)]));
    for (int withSlotPhrases = 0; withSlotPhrases < 2; ++withSlotPhrases) {
        const std::vector<std::string>& grammar = withSlotPhrases ? withSlots : withoutSlots;
        RecogniseSamples(grammar, {}, 16000);
        double decode = 0, audio = 0;
        int right = 0, total = 0;
        for (size_t p = 0; p < fixed.size(); ++p) {
            const double start = Now();
            const std::string heard = RecogniseSamples(grammar, fixedClips[p].samples, 16000);
            decode += Now() - start;
            audio += ClipSeconds(fixedClips[p]);
            ++total;
            right += heard == fixed[p];
        }
        const std::string which = withSlotPhrases ? " with slots" : " without slots";
        PrintFigure("recognition-slots", "fixed phrases heard" + which, total ? 100.0 * right / total : 0,
                    "%");
        PrintFigure("recognition-slots", "decoding real-time factor" + which, audio > 0 ? decode / audio : 0,
                    "x");
    }
    PrintFigure("recognition-slots", "decoding real-time factor of values",
                slotAudio > 0 ? slotDecode / slotAudio : 0, "x");
    PrintFigure("recognition-slots", "value check median", Percentile(checkMs, 50), "ms");
    PrintFigure("recognition-slots", "value check p99", Percentile(checkMs, 99), "ms");

    // Release to phrase, both grammars, the same fixed phrases; then values, which only one of them holds.
    std::vector<AudioClip> live, liveValues;
    for (size_t i = 0; i < 12; ++i) live.push_back(fixedClips[(i * 5) % fixedClips.size()]);
    for (size_t i = 0; i < 12; ++i)
        liveValues.push_back(
            Spoken(requests[(i * 7) % requests.size()].said, kStyles[i % std::size(kStyles)]));
    for (int run = 0; run < 3; ++run) {
        int missing = 0;
        const std::vector<double> latencies =
            ReleaseToPhrase(run == 0 ? withoutSlots : withSlots, run == 2 ? liveValues : live, missing);
        const std::string which = run == 0 ? " without slots" : run == 1 ? " with slots" : " of values";
        PrintFigure("recognition-slots", "release to phrase median" + which, Percentile(latencies, 50), "ms");
        if (missing)
            std::printf("bench recognition-slots: %d of 12 live utterances gave no phrase%s\n", missing,
                        which.c_str());
    }
    return 0;
}
