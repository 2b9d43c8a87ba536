// Benchmark of values heard inside the captain's phrases, on the 737 profile's phrase context: headings,
// squawk codes, frequencies and altitudes drawn at random, spoken in a quiet room and in cockpit noise, on
// two sets that share neither speakers nor values: a tuning set, on which the value check's margin is set,
// and a measuring set, which gives the reported figures. Then the cost of the slots: the same grammar with
// and without its phrases with slots, decoding the profile's fixed phrases and from the release of
// push-to-talk to the phrase.
//
//   bench_recognition_slots [tuning|measuring] [verdicts=FILE]
// runs one set only, and writes each value the decoder heard to FILE for calibration (tab-separated: set,
// noise, speaker, said, heard, right, heard again, right, agrees, the margin over the best rival, that
// rival, taken).
#include "app/frame.h"
#include "base/log.h"
#include "bench/bench_util.h"
#include "bench/speakers/second_synthesiser.h"
#include "platform/audio_clip.h"
#include "platform/engines/recogniser_parts.h"
#include "platform/engines/recogniser_values.h"
#include "platform/engines/voice_espeak.h"
#include "platform/phrase_slots.h"
#include "platform/recogniser.h"
#include "platform/voice.h"
#include "poses/pose_catalogue.h"
#include "systems/loader.h"
#include "systems/phrase_context.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <thread>

namespace {

struct Speaker {
    const char* voice; // an eSpeak NG voice and variant, or "flite:<voice>"
    int rate;          // -10..10, eSpeak only
};
// The measuring set's speakers: the platform's captain (David, en-us+m6) at two rates, Zira and George; a
// flite voice.
const Speaker kMeasuringSpeakers[] = {
    {"en-us+m6", 0}, {"en-us+f5", 0}, {"en-gb-x-rp", 0}, {"en-us+m6", 4}, {"flite:slt", 0}};
// The tuning set's: other variants, accents and a flite voice.
const Speaker kTuningSpeakers[] = {
    {"en-us+m3", 0}, {"en-us+f2", -2}, {"en-gb-x-gbclan+m7", 0}, {"en-029+f3", 2}, {"flite:kal", 0}};

// One utterance of a set: what is said, the phrase it says and the value in it.
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

// Ten headings, ten squawk codes, ten frequencies and ten altitudes (in all three spoken forms) drawn with
// `seed`; a value of `apart` (the other set) is drawn again, so that the two sets share no value.
std::vector<Request> ValueSet(uint32_t seed, const std::vector<Request>& apart) {
    Random r{seed};
    std::vector<Request> set;
    auto add = [&](const Request& q) {
        for (const Request& other : apart)
            if (other.pattern == q.pattern && other.value == q.value) return false;
        for (const Request& other : set)
            if (other.pattern == q.pattern && other.value == q.value) return false;
        set.push_back(q);
        return true;
    };
    for (int i = 0; i < 10;) {
        int heading = 1 + r.Below(360);
        i += add({"set heading " + DigitsSaid(heading, 3, r), "set heading {digits 3}", double(heading)});
    }
    for (int i = 0; i < 10;) {
        int code = 0;
        for (int k = 0; k < 4; ++k) code = code * 10 + r.Below(8);
        i += add({"squawk " + DigitsSaid(code, 4, r), "squawk {digits 4}", double(code)});
    }
    for (int i = 0; i < 10;) {
        int khz = 118000 + 25 * r.Below(760); // 118.000 to 136.975 in 25 kHz steps
        int whole = khz / 1000, fraction = khz % 1000;
        std::string decimals = fraction % 100 == 0  ? DigitsSaid(fraction / 100, 1, r)
                               : fraction % 10 == 0 ? DigitsSaid(fraction / 10, 2, r)
                                                    : DigitsSaid(fraction, 3, r);
        i += add({"com one standby " + DigitsSaid(whole, 3, r) + (r.Below(4) == 0 ? " point " : " decimal ") +
                      decimals,
                  "com one standby {frequency}", khz / 1000.0});
    }
    for (int i = 0; i < 10;) {
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
        i += add(q);
    }
    return set;
}

AudioClip Spoken(const std::string& phrase, const Speaker& speaker, uint32_t seed) {
    AudioClip clip{16000, {}};
    if (std::strncmp(speaker.voice, "flite:", 6) == 0) {
        clip.samples = RenderSecondSynthesiser(phrase, speaker.voice + 6, 16000);
    } else {
        std::vector<int16_t> at22k;
        RenderEspeakVoice(phrase, speaker.voice, speaker.rate, [&](const int16_t* s, size_t n) {
            at22k.insert(at22k.end(), s, s + n);
            return true;
        });
        clip.samples = ResampleSpeech(at22k, kEspeakSampleRate, 16000);
    }
    if (!clip.samples.empty()) AddNoiseFloor(clip, 3, seed);
    return clip;
}

double Now() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// Whether the words heard say the request's phrase with its value.
bool SaysValue(const Request& q, const std::string& heard) {
    std::vector<std::string> words;
    for (std::string w : PhraseWords(heard)) {
        if (w.empty() || w[0] == '<' || w[0] == '[' || w[0] == '+') continue;
        const size_t mark = w.find('(');
        if (mark != std::string::npos) w.erase(mark);
        words.push_back(w);
    }
    std::vector<SlotValue> values;
    return MatchPhrasePattern(ParsePhrasePattern(q.pattern), words, values) && values.size() == 1 &&
           std::abs(values[0].value - q.value) < 1e-6;
}

struct Hearing {
    double decodeSeconds = 0, audioSeconds = 0; // the decoder's, values only
    std::vector<double> checkMs;                // the value check's, per utterance
};

struct ValueRun {
    const char* name; // "" for the measuring set, "tuning " for the tuning set
    const Speaker* speakers;
    size_t speakerCount;
    std::vector<Request> requests;
};

// Each request of the set said by each of its speakers, in that order. The synthesiser carries state from
// one line to the next, so every set is rendered in one fixed order whichever sets are heard: the measuring
// set's sound is then the same whether the tuning set is heard or not.
std::vector<AudioClip> RenderSet(const ValueRun& set, uint32_t seed) {
    std::vector<AudioClip> clips;
    for (const Request& q : set.requests)
        for (size_t s = 0; s < set.speakerCount; ++s)
            clips.push_back(Spoken(q.said, set.speakers[s], ++seed));
    return clips;
}

// Values heard, in a quiet room and in cockpit noise (the same utterances with the noise added), by the
// decoders as the recogniser runs them: the decoder's verdict alone, and with the check of the value.
void HearValues(const ValueRun& set, const std::vector<AudioClip>& clips, Decoders& d, Hearing& h,
                std::FILE* dump) {
    uint32_t seed = set.name[0] ? 9000 : 300;
    int wrongChecked = 0, wrongAlone = 0, tried = 0;
    for (int noisy = 0; noisy < 2; ++noisy) {
        int exactChecked = 0, exactAlone = 0, total = 0;
        size_t n = 0;
        for (const Request& q : set.requests) {
            for (size_t s = 0; s < set.speakerCount; ++s) {
                AudioClip clip = clips[n++];
                if (clip.samples.empty()) continue;
                if (noisy) AddNoise(clip, NoiseKind::Pink, 10, ++seed);
                double start = Now();
                BeginUtterance(d);
                FeedUtterance(d, clip.samples.data(), clip.samples.size());
                const UtteranceVerdict verdict = EndUtterance(d, true);
                h.decodeSeconds += Now() - start;
                h.audioSeconds += ClipSeconds(clip);
                start = Now();
                ValueCertainty c;
                if (verdict.accepted) c = JudgeValues(d, verdict.heard);
                const bool certain = verdict.accepted && c.certain;
                const std::string taken = certain ? c.phrase : verdict.heard; // as the program takes it
                h.checkMs.push_back(1000 * (Now() - start));
                ++total;
                ++tried;
                const bool right = SaysValue(q, verdict.heard);
                if (verdict.accepted) (right ? exactAlone : wrongAlone)++;
                if (certain) (SaysValue(q, taken) ? exactChecked : wrongChecked)++;
                if (dump && verdict.accepted)
                    std::fprintf(dump, "%s\t%d\t%s\t%s\t%s\t%d\t%s\t%d\t%d\t%.0f\t%s\t%d\t%.3f\t%.3f\t%.3f\n",
                                 set.name[0] ? "tuning" : "measuring", noisy, set.speakers[s].voice,
                                 q.said.c_str(), verdict.heard.c_str(), right ? 1 : 0, c.heardAgain.c_str(),
                                 SaysValue(q, c.heardAgain) ? 1 : 0, c.agrees ? 1 : 0,
                                 std::min(c.margin, 1e6), c.rival.c_str(), certain ? 1 : 0,
                                 verdict.fitPerFrame, verdict.worstWordFit, verdict.framesPerPhone);
                if (!certain || !SaysValue(q, taken))
                    std::fprintf(stderr, "  %s%s, %s: \"%s\" heard as \"%s\"%s\n", set.name,
                                 noisy ? "noise" : "quiet", set.speakers[s].voice, q.said.c_str(),
                                 verdict.accepted ? taken.c_str() : "non",
                                 verdict.accepted && !certain ? " (refused: unsure)" : "");
            }
        }
        const std::string where = set.name + std::string("exact value") + (noisy ? " in cockpit noise" : "");
        PrintFigure("recognition-slots", where, total ? 100.0 * exactChecked / total : 0, "%");
        PrintFigure("recognition-slots", where + ", decoder alone", total ? 100.0 * exactAlone / total : 0,
                    "%");
    }
    PrintFigure("recognition-slots", set.name + std::string("wrong value accepted"),
                tried ? 100.0 * wrongChecked / tried : 0, "%");
    PrintFigure("recognition-slots", set.name + std::string("wrong value accepted, decoder alone"),
                tried ? 100.0 * wrongAlone / tried : 0, "%");
}

// Release to phrase through the live recogniser with this grammar: each utterance dropped in its folder,
// pressed, held for the audio's length and released, then polled every millisecond until the phrase comes.
// With `fileMissing`, the sound of each utterance as the recogniser wrote it out is also heard by file, by
// decoders of its own that carry their mean from one utterance to the next as the live ones do, with the
// check of its values: the utterances that gave no phrase that way are counted there.
std::vector<double> ReleaseToPhrase(const std::vector<std::string>& grammar,
                                    const std::vector<AudioClip>& clips, int& missing,
                                    int* fileMissing = nullptr) {
    namespace fs = std::filesystem;
    fs::path folder = fs::temp_directory_path() /
                      ("talvero-bench-slots-" +
                       std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
    fs::create_directories(folder);
    RecogniserSetup setup;
    setup.phrases = grammar;
    setup.utteranceFolder = folder.string();
    Decoders byFile;
    std::string error;
    if (fileMissing) {
        setup.heardFolder = (folder / "heard").string();
        fs::create_directories(setup.heardFolder);
        if (!OpenDecoders(byFile, error) || !LoadGrammar(byFile, grammar).ok) fileMissing = nullptr;
    }
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
            if (!fileMissing) continue;
            AudioClip sound;
            std::snprintf(name, sizeof name, "/heard-%04zu.wav", i + 1);
            bool taken = false;
            AwaitFile(setup.heardFolder + name, 10); // written just after the verdict is queued
            if (ReadWav(setup.heardFolder + name, sound)) {
                BeginUtterance(byFile);
                FeedUtterance(byFile, sound.samples.data(), sound.samples.size());
                const UtteranceVerdict v = EndUtterance(byFile, true);
                taken = v.accepted && JudgeValues(byFile, v.heard).certain;
            }
            *fileMissing += taken ? 0 : 1;
        }
        ClosePlatformRecogniser();
    }
    CloseDecoders(byFile);
    fs::remove_all(folder);
    return latencies;
}

} // namespace

int main(int argc, char** argv) {
    bool runTuning = true, runMeasuring = true;
    std::FILE* dump = nullptr;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "tuning") runMeasuring = false;
        if (arg == "measuring") runTuning = false;
        if (arg.rfind("verdicts=", 0) == 0) dump = std::fopen(arg.c_str() + 9, "w");
    }
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
    const std::vector<Request> measuring = ValueSet(20261207u, {});
    const std::vector<Request> tuning = ValueSet(77031u, measuring);
    std::printf(
        "bench recognition-slots: %zu phrases in the grammar (%zu with slots); tuning set: %zu values "
        "by %zu speakers; measuring set: %zu values by %zu speakers\n",
        withSlots.size(), slotPhrases.size(), tuning.size(), std::size(kTuningSpeakers), measuring.size(),
        std::size(kMeasuringSpeakers));

    // Each set on decoders of its own, so that the measuring set's figures are the same whether the tuning
    // set was heard before it or not (the decoders carry their estimate of the microphone's sound on from
    // one utterance to the next).
    const ValueRun sets[] = {{"tuning ", kTuningSpeakers, std::size(kTuningSpeakers), tuning},
                             {"", kMeasuringSpeakers, std::size(kMeasuringSpeakers), measuring}};
    const std::vector<AudioClip> measuringClips = RenderSet(sets[1], 300);
    const std::vector<AudioClip> tuningClips = RenderSet(sets[0], 9000);
    Hearing h;
    for (int set = 0; set < 2; ++set) {
        if (!(set == 0 ? runTuning : runMeasuring)) continue;
        Decoders d;
        std::string error;
        if (!OpenDecoders(d, error) || !LoadGrammar(d, withSlots).ok) {
            std::printf("bench recognition-slots: no recogniser (%s)\n", error.c_str());
            return 0;
        }
        h = Hearing{};
        HearValues(sets[set], set == 0 ? tuningClips : measuringClips, d, h, dump);
        CloseDecoders(d);
    }
    if (dump) std::fclose(dump);

    // The cost of the slots: the profile's fixed phrases decoded through both grammars, one run.
    std::vector<AudioClip> fixedClips;
    for (size_t p = 0; p < fixed.size(); ++p)
        fixedClips.push_back(Spoken(fixed[p], kMeasuringSpeakers[p % 4], uint32_t(11 + p)));
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
                h.audioSeconds > 0 ? h.decodeSeconds / h.audioSeconds : 0, "x");
    PrintFigure("recognition-slots", "value check median", Percentile(h.checkMs, 50), "ms");
    PrintFigure("recognition-slots", "value check p99", Percentile(h.checkMs, 99), "ms");

    // Release to phrase, both grammars, the same fixed phrases; then values, which only one of them holds.
    std::vector<AudioClip> live, liveValues;
    for (size_t i = 0; i < 12; ++i) live.push_back(fixedClips[(i * 5) % fixedClips.size()]);
    for (size_t i = 0; i < 12; ++i)
        liveValues.push_back(
            Spoken(measuring[(i * 7) % measuring.size()].said, kMeasuringSpeakers[i % 4], uint32_t(50 + i)));
    for (int run = 0; run < 3; ++run) {
        int missing = 0, fileMissing = 0;
        const std::vector<double> latencies =
            ReleaseToPhrase(run == 0 ? withoutSlots : withSlots, run == 2 ? liveValues : live, missing,
                            run == 2 ? &fileMissing : nullptr);
        const std::string which = run == 0 ? " without slots" : run == 1 ? " with slots" : " of values";
        PrintFigure("recognition-slots", "release to phrase median" + which, Percentile(latencies, 50), "ms");
        if (missing)
            std::printf("bench recognition-slots: %d of 12 live utterances gave no phrase%s\n", missing,
                        which.c_str());
        if (run == 2)
            std::printf(
                "bench recognition-slots: %d of 12 of the same sounds by file gave no phrase of values\n",
                fileMissing);
    }
    return 0;
}
