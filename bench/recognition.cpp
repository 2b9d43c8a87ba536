// Benchmark of the platform's speech recogniser on the 737 profile's phrase context, on two sets that share
// neither speakers nor phrases: a tuning set, on which the recogniser's thresholds are set, and a measuring
// set, which gives the reported figures. Each set's phrases are heard in a quiet room, in cockpit noise, in
// loud noise, in mixed noises and at levels from quiet to clipped; its sentences outside the grammar and
// noise alone must be refused. Beside the measuring set, recordings of people (bench/speakers/recordings.h).
// Then the measuring set's phrases through the live recogniser and its utterance folder: accuracy beside
// the file path's on the same sound, and release to phrase, with the machine otherwise idle and with every
// core kept busy.
//
//   bench_recognition [tuning|measuring] [verdicts=FILE] [only=KINDS] [garbage=WEIGHT] [dither=AMPLITUDE]
//                     [level=DB]
// runs one set only, writes every verdict's figures to FILE (tab-separated) for calibration, runs only
// some conditions (0 quiet ... 4 levels, o outside the grammar, r recordings of people, l live, b live with
// every core busy), and tries another garbage weight, dither or speech level (0: the level left as it is).
#include "app/frame.h"
#include "base/log.h"
#include "bench/bench_util.h"
#include "bench/speakers/recordings.h"
#include "bench/speakers/second_synthesiser.h"
#include "platform/audio_clip.h"
#include "platform/engines/recogniser_parts.h"
#include "platform/engines/recogniser_values.h"
#include "platform/engines/voice_espeak.h"
#include "platform/phrase_slots.h"
#include "platform/recogniser.h"
#include "poses/pose_catalogue.h"
#include "systems/loader.h"
#include "systems/phrase_context.h"

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <thread>

namespace {

struct Speaker {
    const char* voice; // an eSpeak NG voice and variant, or "flite:<voice>"
    int rate;          // -10..10, eSpeak only
};

// The measuring set's speakers: the platform's captain (David, en-us+m6) at two rates, Zira and George, as
// before; a Klatt voice, a Scottish one, and two of flite's.
const Speaker kMeasuringSpeakers[] = {{"en-us+m6", 0},  {"en-us+f5", 0},    {"en-gb-x-rp", 0},
                                      {"en-us+m6", 4},  {"en-us+klatt", 0}, {"en-gb-scotland+m2", 0},
                                      {"flite:slt", 0}, {"flite:rms", 0}};
// The tuning set's: other variants, accents and flite voices.
const Speaker kTuningSpeakers[] = {{"en-us+m3", 0},  {"en-us+f2", -2},    {"en-gb-x-gbclan+m7", 0},
                                   {"en-029+f3", 2}, {"en-us+klatt2", 0}, {"en+m1", 0},
                                   {"flite:kal", 0}, {"flite:awb", 0}};

// Sentences a captain says in a cockpit that no profile expects: to the tower, the cabin, himself.
const char* const kMeasuringOutside[] = {"what time is it",
                                         "open the door please",
                                         "banana",
                                         "the weather is nice",
                                         "call the tower",
                                         "coffee with milk",
                                         "i think so",
                                         "where is my pen",
                                         "turn left heading",
                                         "good morning ladies",
                                         "seat belt sign",
                                         "not now",
                                         "cabin crew prepare for landing",
                                         "we are number two for takeoff",
                                         "did you see that traffic",
                                         "the checklist is on the table"};
const char* const kTuningOutside[] = {"ready for departure",
                                      "the door is closed",
                                      "cleared to land",
                                      "thank you very much",
                                      "let me think",
                                      "tea please",
                                      "good evening tower",
                                      "contact approach",
                                      "maybe later",
                                      "where is the chart",
                                      "hold short of the runway",
                                      "we will be there soon",
                                      "please be seated",
                                      "is it cold outside",
                                      "one moment",
                                      "the lights are too bright"};

struct Condition {
    const char* figure; // the measuring set's name; the tuning set's is "tuning " + it
    int kind;           // 0 quiet, 1 pink 10 dB, 2 white 5 dB, 3 mixed noises, 4 levels
};
const Condition kConditions[] = {{"accuracy", 0},
                                 {"accuracy in cockpit noise", 1},
                                 {"accuracy in loud noise", 2},
                                 {"accuracy in mixed noise", 3},
                                 {"accuracy at levels from quiet to clipped", 4}};

struct Verdicts {
    std::FILE* file = nullptr;
    std::string kinds = "01234olbr"; // the conditions to run ("o": outside the grammar and noise alone, "l":
                                     // live, "b": live with every core busy, "r": recordings of people)
};

double Now() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

AudioClip Framed(AudioClip clip, uint32_t seed) {
    // As push-to-talk frames it: the recogniser keeps 0.3 s from before the press and takes 0.12 s after
    // the release, and the captain starts speaking up to 0.4 s after pressing and lets go up to 0.3 s after
    // his last word. The room's sound (the noise floor, and the condition's noise added later) goes on
    // throughout.
    const double lead = 0.3 + 0.1 * double(seed % 5), tail = 0.12 + 0.1 * double((seed / 5) % 4);
    clip.samples.insert(clip.samples.begin(), size_t(lead * clip.sampleRate), int16_t(0));
    AppendSilence(clip, tail);
    AddNoiseFloor(clip, 3, seed);
    return clip;
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
    return clip.samples.empty() ? clip : Framed(clip, seed);
}

// The clip `db` decibels louder (or quieter), saturating at full scale as a microphone's converter does.
void Gain(AudioClip& clip, double db) {
    const double g = std::pow(10.0, db / 20);
    for (int16_t& s : clip.samples) s = int16_t(std::clamp(std::lround(s * g), -32768L, 32767L));
}

// The sound of a condition, chosen by the utterance's number so that each set meets every variant.
void Condition_(AudioClip& clip, int kind, uint32_t& seed, size_t n) {
    if (kind == 1) AddNoise(clip, NoiseKind::Pink, 10, ++seed);
    if (kind == 2) AddNoise(clip, NoiseKind::White, 5, ++seed);
    if (kind == 3) {
        // Two noises at once, 5 to 15 dB below the speech together.
        static const NoiseKind pairs[][2] = {{NoiseKind::Hum, NoiseKind::Pink},
                                             {NoiseKind::Brown, NoiseKind::White},
                                             {NoiseKind::Hum, NoiseKind::White},
                                             {NoiseKind::Brown, NoiseKind::Pink}};
        const double snr = 5 + 2.5 * double(n % 5);
        AddNoise(clip, pairs[n % 4][0], snr + 3, ++seed);
        AddNoise(clip, pairs[n % 4][1], snr + 3, ++seed);
    }
    if (kind == 4) {
        // From a distant microphone (-30 dB) to one overdriven by 12 dB, with cockpit noise at 15 dB.
        static const double levels[] = {-30, -18, -6, 6, 12};
        AddNoise(clip, NoiseKind::Pink, 15, ++seed);
        Gain(clip, levels[n % 5]);
    }
}

struct Hearing {
    Decoders decoders;
    double decodeSeconds = 0, audioSeconds = 0;
};

UtteranceVerdict Hear(Hearing& h, const AudioClip& clip) {
    double start = Now();
    BeginUtterance(h.decoders);
    FeedUtterance(h.decoders, clip.samples.data(), clip.samples.size());
    UtteranceVerdict v = EndUtterance(h.decoders, true);
    // As the program hears: a phrase with slots is taken only when its values are certain.
    if (v.accepted) TakeValues(h.decoders, v);
    h.decodeSeconds += Now() - start;
    h.audioSeconds += ClipSeconds(clip);
    return v;
}

void WriteVerdict(Verdicts& out, const char* set, const std::string& what, const std::string& expected,
                  const UtteranceVerdict& v) {
    if (!out.file) return;
    std::fprintf(out.file, "%s\t%s\t%s\t%s\t%d\t%d\t%d\t%.2f\t%d\t%.3f\t%.3f\t%.3f\t%.3f\t%.1f\t%.1f\t%d\n",
                 set, what.c_str(), expected.c_str(), v.heard.c_str(), v.accepted ? 1 : 0, v.frames,
                 v.speechFrames, v.riseDb, v.garbage ? 1 : 0, v.fitPerFrame, v.framesPerPhone, v.uncovered,
                 v.worstWordFit, v.levelDb, v.gainDb, v.levelRestarts);
}

struct SetRun {
    const char* name; // "" for the measuring set, "tuning " for the tuning set
    const Speaker* speakers;
    size_t speakerCount;
    std::vector<std::string> phrases;
    const char* const* outside;
    size_t outsideCount;
};

// A set's utterances: each phrase and each sentence outside the grammar said by each of its speakers.
struct SetClips {
    std::vector<std::vector<AudioClip>> phrases; // [phrase][speaker]
    std::vector<std::vector<AudioClip>> outside; // [sentence][speaker]
};

// The synthesiser carries state from one line to the next, so the sets are rendered in one fixed order
// whichever of them are heard (the measuring set's utterances first, then the live path's, then the tuning
// set's): a set's sound, and so its figures, are the same whether another set is heard before it or not.
SetClips RenderSet(const SetRun& set, uint32_t seed) {
    SetClips clips;
    for (const std::string& phrase : set.phrases) {
        clips.phrases.emplace_back();
        for (size_t s = 0; s < set.speakerCount; ++s)
            clips.phrases.back().push_back(Spoken(phrase, set.speakers[s], ++seed));
    }
    for (size_t o = 0; o < set.outsideCount; ++o) {
        clips.outside.emplace_back();
        for (size_t s = 0; s < set.speakerCount; ++s)
            clips.outside.back().push_back(Spoken(set.outside[o], set.speakers[s], ++seed));
    }
    return clips;
}

void RunSet(const SetRun& set, const SetClips& rendered, Hearing& h, Verdicts& out, uint32_t seed) {
    const std::vector<std::vector<AudioClip>>& clips = rendered.phrases;
    size_t made = 0;
    for (const std::vector<AudioClip>& said : clips)
        for (const AudioClip& clip : said) made += clip.samples.empty() ? 0 : 1;
    std::printf("bench recognition: %s set: %zu phrases by %zu speakers (%zu utterances)\n",
                set.name[0] ? "tuning" : "measuring", set.phrases.size(), set.speakerCount, made);
    const std::string label = set.name[0] ? "tuning" : "measuring";
    for (const Condition& c : kConditions) {
        if (out.kinds.find(char('0' + c.kind)) == std::string::npos) continue;
        int right = 0, wrong = 0, total = 0;
        size_t n = 0;
        for (size_t p = 0; p < set.phrases.size(); ++p) {
            for (size_t s = 0; s < clips[p].size(); ++s) {
                AudioClip clip = clips[p][s];
                if (clip.samples.empty()) continue;
                Condition_(clip, c.kind, seed, n++);
                UtteranceVerdict v = Hear(h, clip);
                WriteVerdict(out, label.c_str(), c.figure, set.phrases[p], v);
                std::string heard = v.accepted ? v.heard : "non";
                ++total;
                if (heard == set.phrases[p])
                    ++right;
                else if (heard != "non")
                    ++wrong;
                if (heard != set.phrases[p])
                    std::fprintf(stderr, "  %s%s, %s: \"%s\" heard as \"%s\"\n", set.name, c.figure,
                                 set.speakers[s].voice, set.phrases[p].c_str(), heard.c_str());
            }
        }
        PrintFigure("recognition", set.name + std::string(c.figure), total ? 100.0 * right / total : 0, "%");
        // The other side of accuracy: a wrong phrase acted on, rather than a "non" said again.
        PrintFigure("recognition", set.name + std::string(c.figure) + ", wrong phrases",
                    total ? 100.0 * wrong / total : 0, "%");
    }

    if (out.kinds.find('o') == std::string::npos) return;
    // False accepts: speech outside the grammar in a quiet room and in cockpit noise.
    int accepted = 0, tried = 0;
    for (int noisy = 0; noisy < 2; ++noisy) {
        for (size_t o = 0; o < set.outsideCount; ++o) {
            for (size_t s = 0; s < set.speakerCount; ++s) {
                AudioClip clip = rendered.outside[o][s];
                if (clip.samples.empty()) continue;
                if (noisy) AddNoise(clip, NoiseKind::Pink, 10, ++seed);
                UtteranceVerdict v = Hear(h, clip);
                WriteVerdict(out, label.c_str(), noisy ? "outside, noise" : "outside", set.outside[o], v);
                ++tried;
                if (v.accepted) {
                    ++accepted;
                    std::fprintf(stderr, "  %soutside the grammar, %s: \"%s\" heard as \"%s\"\n", set.name,
                                 set.speakers[s].voice, set.outside[o], v.heard.c_str());
                }
            }
        }
    }
    PrintFigure("recognition", set.name + std::string("false accepts"), tried ? 100.0 * accepted / tried : 0,
                "%");
    // Noise alone, half a second to two seconds of it: every kind, faint to loud, and a dead microphone.
    int noiseAccepted = 0, noiseTried = 0;
    const NoiseKind kinds[] = {NoiseKind::Pink, NoiseKind::White, NoiseKind::Brown, NoiseKind::Hum};
    for (int i = 0; i < 32; ++i) {
        AudioClip noise{16000, std::vector<int16_t>(size_t(8000 + 3000 * (i % 9)), 0)};
        if (i % 8 != 7) {
            AddNoiseFloor(noise, 3, ++seed);
            AddNoise(noise, kinds[i % 4], 0, ++seed);
            Gain(noise, -24.0 + 6.0 * (i % 6));
        }
        UtteranceVerdict v = Hear(h, noise);
        WriteVerdict(out, label.c_str(), "noise alone", "", v);
        ++noiseTried;
        if (v.accepted) {
            ++noiseAccepted;
            std::fprintf(stderr, "  %snoise alone (%d) heard as \"%s\"\n", set.name, i, v.heard.c_str());
        }
    }
    PrintFigure("recognition", set.name + std::string("false accepts, noise alone"),
                100.0 * noiseAccepted / noiseTried, "%");
}

// Recordings of people, measured only (too few to tune on, and never tuned on): those whose words are
// known, against the 737's grammar with their own phrases added (as an author would add them), in a quiet
// room, in cockpit noise and in loud noise; and every one against the 737's grammar alone, where each is
// speech outside the grammar. Each recording is framed as push-to-talk frames the speakers' utterances;
// each grammar's decoders are new and hear the recordings in the same order.
void RunRecorded(const std::vector<std::string>& context, Verdicts& out, uint32_t seed) {
    std::vector<std::string> missing;
    const std::vector<Recording> recordings =
        LoadRecordings(std::string(TALVERO_SOURCE_DIR) + "/build", missing);
    for (const std::string& path : missing)
        std::printf("bench recognition: recording build/%s is missing (make bench unpacks it)\n",
                    path.c_str());
    if (recordings.empty()) return;
    std::vector<std::string> withOwn = context;
    for (const Recording& r : recordings)
        if (!r.phrase.empty()) withOwn.push_back(r.phrase);
    std::printf("bench recognition: recorded speech: %d recordings of people, %d of known words\n",
                int(recordings.size()), int(withOwn.size() - context.size()));
    static const char* const kNames[] = {"", " in cockpit noise", " in loud noise"};
    for (int outside = 0; outside < 2; ++outside) {
        Hearing h;
        std::string error;
        if (!OpenDecoders(h.decoders, error) || !LoadGrammar(h.decoders, outside ? context : withOwn).ok) {
            std::printf("bench recognition: the recogniser cannot start: %s\n", error.c_str());
            return;
        }
        int accepted = 0, tried = 0;
        for (int kind = 0; kind < 3; ++kind) {
            int right = 0, wrong = 0, total = 0;
            size_t n = 0;
            for (const Recording& r : recordings) {
                if (!outside && r.phrase.empty()) continue;
                AudioClip clip = Framed(r.sound, ++seed);
                Condition_(clip, kind, seed, n++);
                const UtteranceVerdict v = Hear(h, clip);
                const std::string heard = v.accepted ? v.heard : "non";
                WriteVerdict(out, "recorded", outside ? "recorded, outside" : kConditions[kind].figure,
                             outside ? r.name : r.words, v);
                ++total;
                right += heard == r.words;
                accepted += heard != "non";
                wrong += heard != r.words && heard != "non";
                if (outside ? heard != "non" : heard != r.words)
                    std::fprintf(stderr, "  recorded%s, %s: \"%s\" heard as \"%s\"\n", kNames[kind],
                                 r.name.c_str(), r.words.c_str(), heard.c_str());
            }
            tried += total;
            if (!outside) {
                const std::string figure = std::string("recorded speech, accuracy") + kNames[kind];
                PrintFigure("recognition", figure, total ? 100.0 * right / total : 0, "%");
                PrintFigure("recognition", figure + ", wrong phrases", total ? 100.0 * wrong / total : 0,
                            "%");
            }
        }
        if (outside)
            PrintFigure("recognition", "recorded speech, false accepts", tried ? 100.0 * accepted / tried : 0,
                        "%");
        CloseDecoders(h.decoders);
    }
}

// The measuring set's phrases through the live recogniser and its utterance folder, each dropped in the
// folder, pressed, held for the audio's length and released, then polled every millisecond until the
// phrase comes; and the same sound, as the recogniser wrote it out (from the pre-roll to the release's
// tail), through the file path. In a quiet room: the folder's source plays a faint floor before the press,
// so noise in the utterance would start abruptly with it, as no cockpit's does; noise is measured on the
// file path. The file path's decoders are new, as the live recogniser's are, and hear the same utterances
// in the same order: what a decoder heard before moves its estimate of the microphone's sound.
// With `busy`, every core is kept busy at the ordinary priority by threads of their own while the captain
// speaks, as a simulator that takes the whole processor does: the release to phrase figures are then named
// for it, and the accuracy figures, the same as without, are not printed again.
// The live path's utterances: the measuring set's phrases in turn, each said by the next of its speakers.
std::vector<std::pair<std::string, AudioClip>> RenderLive(const std::vector<std::string>& phrases,
                                                          uint32_t seed) {
    std::vector<std::pair<std::string, AudioClip>> said;
    const size_t count = std::min<size_t>(32, phrases.size() * 2);
    for (size_t i = 0; i < count; ++i) {
        const std::string& phrase = phrases[(i * 7) % phrases.size()];
        said.emplace_back(phrase,
                          Spoken(phrase, kMeasuringSpeakers[i % std::size(kMeasuringSpeakers)], ++seed));
    }
    return said;
}

void RunLive(const std::vector<std::string>& context,
             const std::vector<std::pair<std::string, AudioClip>>& said, Verdicts& out, bool busy = false) {
    Hearing h;
    std::string error;
    if (!OpenDecoders(h.decoders, error) || !LoadGrammar(h.decoders, context).ok) return;
    namespace fs = std::filesystem;
    fs::path folder = fs::temp_directory_path() /
                      ("talvero-bench-recognition-" +
                       std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
    fs::create_directories(folder);
    RecogniserSetup setup;
    setup.phrases = context;
    setup.utteranceFolder = folder.string();
    fs::create_directories(folder / "heard");
    setup.heardFolder = (folder / "heard").string();
    std::vector<double> latencies;
    int live = 0, file = 0, missing = 0, tried = 0, pressed = 0;
    std::atomic<bool> stop{false};
    std::vector<std::thread> spinners;
    if (busy)
        for (unsigned c = 0; c < std::max(1u, std::thread::hardware_concurrency()); ++c)
            spinners.emplace_back([&stop] {
                volatile uint64_t n = 0;
                while (!stop.load(std::memory_order_relaxed)) n = n + 1;
            });
    if (StartPlatformRecogniser(setup)) {
        for (size_t i = 0; i < said.size(); ++i) {
            const std::string& phrase = said[i].first;
            const AudioClip& clip = said[i].second;
            if (clip.samples.empty()) continue;
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
            const double answered = Now();
            ++pressed;
            // The same sound through the file path, once the recogniser has written it out.
            UtteranceVerdict fileVerdict;
            AudioClip sound;
            std::snprintf(name, sizeof name, "/heard-%04d.wav", pressed);
            AwaitFile(setup.heardFolder + name, 10); // written just after the verdict is queued
            if (ReadWav(setup.heardFolder + name, sound)) fileVerdict = Hear(h, sound);
            WriteVerdict(out, "live", "live", phrase, fileVerdict);
            file += fileVerdict.accepted && fileVerdict.heard == phrase;
            ++tried;
            if (heard == "non")
                ++missing;
            else
                latencies.push_back(1000 * (answered - released));
            live += heard == phrase;
            if (heard != phrase || !(fileVerdict.accepted && fileVerdict.heard == phrase))
                std::fprintf(stderr, "  live: \"%s\" heard as \"%s\", by file as \"%s\"\n", phrase.c_str(),
                             heard.c_str(), fileVerdict.accepted ? fileVerdict.heard.c_str() : "non");
        }
        ClosePlatformRecogniser();
    }
    stop = true;
    for (std::thread& t : spinners) t.join();
    fs::remove_all(folder);
    CloseDecoders(h.decoders);
    if (busy) {
        PrintFigure("recognition", "release to phrase median with every core busy", Percentile(latencies, 50),
                    "ms");
        PrintFigure("recognition", "release to phrase p99 with every core busy", Percentile(latencies, 99),
                    "ms");
        if (missing)
            std::printf("bench recognition: %d of %d live utterances gave no phrase with every core busy\n",
                        missing, tried);
        return;
    }
    PrintFigure("recognition", "live accuracy", tried ? 100.0 * live / tried : 0, "%");
    PrintFigure("recognition", "live accuracy, same sound by file", tried ? 100.0 * file / tried : 0, "%");
    PrintFigure("recognition", "release to phrase median", Percentile(latencies, 50), "ms");
    PrintFigure("recognition", "release to phrase p99", Percentile(latencies, 99), "ms");
    if (missing) std::printf("bench recognition: %d of %d live utterances gave no phrase\n", missing, tried);
}

} // namespace

int main(int argc, char** argv) {
    bool tuning = true, measuring = true;
    Verdicts verdicts;
    double garbageWeight = kGarbageWeight;
    int dither = kDitherAmplitude;
    double level = kLevelTargetDb;
    bool trim = true;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "tuning") measuring = false;
        if (arg == "measuring") tuning = false;
        if (arg.rfind("verdicts=", 0) == 0) verdicts.file = std::fopen(arg.c_str() + 9, "w");
        if (arg.rfind("garbage=", 0) == 0) garbageWeight = std::atof(arg.c_str() + 8);
        if (arg.rfind("dither=", 0) == 0) dither = std::atoi(arg.c_str() + 7);
        if (arg.rfind("level=", 0) == 0) level = std::atof(arg.c_str() + 6);
        if (arg == "trim=0") trim = false;
        if (arg.rfind("only=", 0) == 0) verdicts.kinds = arg.substr(5);
    }
    // The phrase context as the program builds it from the 737's systems files.
    Log().log.path.clear();
    Log().drf.path.clear();
    Frame().AcfPath = std::string(TALVERO_SOURCE_DIR) + "/data/PM738";
    ScanPoses();
    CreateSystemsFromFile();
    const std::vector<std::string> context = PhraseContext().phraseContext;
    // The phrases split in two, alternately in the context's order, so that each set has profile phrases
    // and built-ins, long ones and short ones. Phrases with slots are templates, not texts to say: bench
    // recognition_slots says values in them.
    std::vector<std::string> fixed;
    for (const std::string& phrase : context)
        if (!HasSlotNotation(phrase)) fixed.push_back(phrase);
    std::vector<std::string> measuringPhrases, tuningPhrases;
    for (size_t i = 0; i < fixed.size(); ++i)
        (i % 2 ? tuningPhrases : measuringPhrases).push_back(fixed[i]);
    std::printf("bench recognition: %zu phrases in the grammar\n", context.size());

    const SetRun tuningSet{"tuning ",     kTuningSpeakers, std::size(kTuningSpeakers),
                           tuningPhrases, kTuningOutside,  std::size(kTuningOutside)};
    const SetRun measuringSet{"",
                              kMeasuringSpeakers,
                              std::size(kMeasuringSpeakers),
                              measuringPhrases,
                              kMeasuringOutside,
                              std::size(kMeasuringOutside)};
    const SetClips measuringClips = RenderSet(measuringSet, 100);
    const std::vector<std::pair<std::string, AudioClip>> liveClips = RenderLive(measuringPhrases, 9000);
    const SetClips tuningClips = RenderSet(tuningSet, 5000);
    // Each set on decoders of their own, which carry their estimate of the microphone's sound from one
    // utterance to the next within the set only.
    for (int set = 0; set < 2; ++set) {
        if (!(set == 0 ? tuning : measuring)) continue;
        Hearing h;
        h.decoders.garbageWeight = garbageWeight;
        h.decoders.ditherAmplitude = dither;
        h.decoders.front.levelTargetDb = level;
        h.decoders.front.trim = trim;
        std::string error;
        if (!OpenDecoders(h.decoders, error) || !LoadGrammar(h.decoders, context).ok) {
            std::printf("bench recognition: the recogniser cannot start: %s\n", error.c_str());
            return 1;
        }
        if (set == 0) {
            RunSet(tuningSet, tuningClips, h, verdicts, 5000);
        } else {
            RunSet(measuringSet, measuringClips, h, verdicts, 100);
            // (nothing to time when only the live path was asked for)
            if (h.audioSeconds > 0)
                PrintFigure("recognition", "decoding real-time factor", h.decodeSeconds / h.audioSeconds,
                            "x");
        }
        CloseDecoders(h.decoders);
    }
    if (measuring) {
        if (verdicts.kinds.find('r') != std::string::npos) RunRecorded(context, verdicts, 700);
        if (verdicts.kinds.find('l') != std::string::npos) RunLive(context, liveClips, verdicts);
        if (verdicts.kinds.find('b') != std::string::npos) RunLive(context, liveClips, verdicts, true);
    }
    if (verdicts.file) std::fclose(verdicts.file);
    return 0;
}
