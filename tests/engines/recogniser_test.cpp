// The built-in recogniser of both products (pocketsphinx): its grammar and the words it had to spell,
// utterances spoken into the utterance folder heard through push-to-talk, with pre-roll, rejection and a
// grammar rebuilt, and heard alike by file from the sound written out; and a model that is missing or
// damaged.
#include "base/helpers.h"
#include "platform/audio_clip.h"
#include "platform/engines/offline_speech.h"
#include "platform/engines/recogniser_parts.h"
#include "platform/speech_data.h"
#include "systems/phrase_context.h"
#include "tests/engines/hearing.h"
#include "tests/fakes/test_support.h"

#include <gtest/gtest.h>
#include <pocketsphinx.h>

#include <chrono>
#include <thread>

namespace {

std::vector<std::string>& LogLines() {
    static std::vector<std::string> lines;
    return lines;
}
void CollectLog(const std::string& line) {
    LogLines().push_back(line);
}

const std::vector<std::string> kBuiltIns(kBuiltInPhrases, kBuiltInPhrases + kBuiltInPhraseCount);

std::vector<std::string> With(std::vector<std::string> phrases, const std::vector<std::string>& more) {
    phrases.insert(phrases.end(), more.begin(), more.end());
    return phrases;
}

// The phrase as a captain's microphone would give it: spoken, with a quiet room around it.
AudioClip Spoken(const std::string& phrase, uint32_t seed) {
    AudioClip clip{16000, RenderPlatformSpeech(phrase, 0, 0, 16000)};
    AddNoiseFloor(clip, 3, seed);
    return clip;
}

void Sleep(double seconds) {
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
}

struct RecogniserRun {
    TempFolder folder, ownHeard;
    std::string heardFolder; // where the recogniser writes each utterance's sound after its verdict
    int utterances = 0;
    explicit RecogniserRun(const std::vector<std::string>& phrases, const std::string& heardIn = "") {
        LogLines().clear();
        heardFolder = heardIn.empty() ? ownHeard.path : heardIn;
        RecogniserSetup setup;
        setup.phrases = phrases;
        setup.utteranceFolder = folder.path;
        setup.heardFolder = heardFolder;
        setup.log = CollectLog;
        started = StartOfflineRecogniser(setup);
    }
    ~RecogniserRun() { CloseOfflineRecogniser(); }
    bool started = false;
};

// The verdict on the run's next utterance, awaited: its sound written out shows that it is in, however
// slow the machine. A phrase, "non" for none, or why there was no verdict.
std::string AwaitVerdict(RecogniserRun& run) {
    char name[32];
    std::snprintf(name, sizeof name, "/heard-%04d.wav", ++run.utterances);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!FileExists(run.heardFolder + name)) {
        if (std::chrono::steady_clock::now() > deadline) return "no verdict within 60 s";
        Sleep(0.01);
    }
    return NextOfflineResult();
}

// Push-to-talk as the program does it: the utterance dropped in the folder, the press `pressLate`
// seconds later, the release at the audio's end; then the verdict awaited.
std::string SayThroughFolder(RecogniserRun& run, const AudioClip& clip, double pressLate = 0) {
    static int count = 0;
    char name[64];
    std::snprintf(name, sizeof name, "/utterance-%04d.wav", ++count);
    EXPECT_TRUE(WriteWav(run.folder.path + name, clip));
    Sleep(pressLate);
    SetOfflineListening(true);
    Sleep(ClipSeconds(clip) - pressLate + 0.05);
    SetOfflineListening(false);
    return AwaitVerdict(run);
}

bool Logged(const std::string& start) {
    for (const std::string& line : LogLines())
        if (line.rfind(start, 0) == 0) return true;
    return false;
}

// The decoder's forms of a word, by their numbers ("gear", "gear(2)", ...); a number it lacks is empty.
std::vector<std::string> FormsOf(ps_decoder_t* decoder, const std::string& word) {
    std::vector<std::string> found;
    for (int n = 1; n < 5; ++n) {
        char* phones =
            ps_lookup_word(decoder, (n == 1 ? word : word + "(" + std::to_string(n) + ")").c_str());
        found.push_back(phones ? phones : "");
        ckd_free(phones);
    }
    while (!found.empty() && found.back().empty()) found.pop_back();
    return found;
}

} // namespace

TEST(BuiltInRecogniser, EspeakPhonemesBecomeTheModelsPhones) {
    struct Case {
        const char* espeak;
        const char* cmu;
    } cases[] = {
        {"k @ n f 'I g", "K AH N F IH G"},                    // stress marks are not phonemes
        {"tS 'E k t", "CH EH K T"},                           // two letters, one phone
        {"f 'aI3", "F AY ER"},                                // one phoneme, two phones
        {"b 'V ? n-", "B AH T N"},                            // glottal stop and syllabic n
        {",O: t# oU T r '0 t# @L", "AO T OW TH R AA T AH L"}, // flaps and dark l
        {"E2# l", "EH L"},                                    // an unlisted variant falls back to its base
        {"", ""},
        {"k Q", ""}, // a phoneme without counterpart spells nothing
    };
    for (const Case& c : cases) EXPECT_EQ(CmuPhonesFromEspeak(c.espeak), c.cmu) << c.espeak;
    EXPECT_EQ(SpellWithEspeak("config"), "K AH N F IH G");
}

TEST(BuiltInRecogniser, WordsAlsoTakeTheirFormsWithoutFinalRsButAValuesWordsDoNot) {
    struct Case {
        const char* with;
        const char* without;
    } cases[] = {
        {"F AO R", "F AO"},
        {"S T AA R T", "S T AA T"}, // a back vowel only lengthens
        {"G IH R", "G IH AH"},
        {"D IH M ER", "D IH M AH"}, // a neutral vowel takes its place
        {"F AY ER", "F AY AH"},
        {"EH R ER", "EH R AH"}, // the R before a vowel stays
        {"Z IH R OW", "Z IH R OW"},
        {"HH AH N D R AH D", "HH AH N D R AH D"}, // after a consonant too
        {"", ""},
    };
    for (const Case& c : cases) EXPECT_EQ(WithoutFinalRs(c.with), c.without) << c.with;
    Hearing h({"gear up", "engine four", "flaps {digits 1}", "lights {brighter|dimmer}", "select door"});
    ASSERT_TRUE(h.ok);
    // The dictionary's "gear" and the form without its R; "four" is also a digit the slot says, and keeps
    // the dictionary's forms alone, as does a list's choice.
    EXPECT_EQ(FormsOf(h.d.grammar, "gear"), (std::vector<std::string>{"G IH R", "G IH AH"}));
    EXPECT_EQ(FormsOf(h.d.grammar, "four"), (std::vector<std::string>{"F AO R"}));
    EXPECT_EQ(FormsOf(h.d.grammar, "door"), (std::vector<std::string>{"D AO R", "D AO"}));
    EXPECT_EQ(FormsOf(h.d.grammar, "dimmer"), (std::vector<std::string>{"D IH M ER"}));
    // A word a value is said with keeps its forms in a grammar without slots too: a word keeps the forms
    // it first entered the decoder with, and the next grammar may ask for values.
    Hearing noSlots({"engine four", "check the fuel", "taxi via hotel"});
    ASSERT_TRUE(noSlots.ok);
    EXPECT_EQ(FormsOf(noSlots.d.grammar, "four"), (std::vector<std::string>{"F AO R"}));
    ASSERT_TRUE(LoadGrammar(noSlots.d, {"engine four", "squawk {digits 4}"}).ok);
    EXPECT_EQ(FormsOf(noSlots.d.grammar, "four"), (std::vector<std::string>{"F AO R"}));
}

TEST(BuiltInRecogniser, ADictionaryThatNumbersAWordsFormsWithAGapStillLoads) {
    // "gear(3)" without a "gear(2)": the forms without Rs take the numbers left free. Given one the
    // dictionary already used, the library breaks the word's list of forms and the grammar never loads.
    TempFolder folder;
    folder.Write("gapped.dict", "gear G IH R\ngear(3) G IY R\nup AH P\n");
    SpeechDataPaths paths = PlatformSpeechData();
    paths.dictionary = folder.path + "/gapped.dict";
    OverrideSpeechData(paths);
    {
        Hearing h({"gear up"});
        ASSERT_TRUE(h.ok);
        EXPECT_EQ(FormsOf(h.d.grammar, "gear"),
                  (std::vector<std::string>{"G IH R", "G IH AH", "G IY R", "G IY AH"}));
        EXPECT_EQ(h.Heard(Spoken("gear up", 1)), "gear up");
    }
    ResetSpeechData();
}

TEST(BuiltInRecogniser, GrammarSpellsUnknownWordsDropsOnlyPhrasesItCannotSayAndIsRebuilt) {
    RecogniserRun run(With(kBuiltIns, {"flaps a_b", "gear up"}));
    ASSERT_TRUE(run.started);
    // "config" is not in the dictionary: espeak-ng spells it and the log names it with its phones.
    EXPECT_TRUE(Logged("Recognition spelled unknown words: config (k "))
        << ::testing::PrintToString(LogLines());
    EXPECT_TRUE(Logged("Recognition cannot spell: a_b; phrases left out: flaps a_b"))
        << ::testing::PrintToString(LogLines());
    EXPECT_TRUE(Logged("Recognition hears WAV files dropped in " + run.folder.path));
    // The spelt word is heard like any other.
    EXPECT_EQ(RecogniseSamples(kBuiltIns, Spoken("config", 1).samples, 16000), "config");
    // Nothing can be said at all: no grammar, and the one before it is not heard either.
    EXPECT_FALSE(SetOfflineGrammar({"a_b"}));
    EXPECT_EQ(SayThroughFolder(run, Spoken("config", 4)), "non");
    EXPECT_TRUE(SetOfflineGrammar(kBuiltIns));
    EXPECT_EQ(SayThroughFolder(run, Spoken("config", 5)), "config");
    // "before start checklist" is only in the rebuilt grammar.
    ASSERT_TRUE(SetOfflineGrammar(With(kBuiltIns, {"gear up", "flaps five", "before start checklist"})));
    EXPECT_EQ(SayThroughFolder(run, Spoken("before start checklist", 2)), "before start checklist");
    // Every file was consumed.
    EXPECT_TRUE(ListEntriesContaining(run.folder.path, ".wav").empty());
}

TEST(BuiltInRecogniser, SpeechOutsideTheGrammarAndNoiseAreNotPhrases) {
    RecogniserRun run(With(kBuiltIns, {"gear up", "flaps five"}));
    ASSERT_TRUE(run.started);
    AudioClip noise{16000, std::vector<int16_t>(9600, 0)};
    AddNoise(noise, NoiseKind::Pink, 0, 4);
    EXPECT_EQ(SayThroughFolder(run, noise), "non") << "noise alone";
    EXPECT_EQ(SayThroughFolder(run, Spoken("open the door please", 5)), "non");
    // Offline, the same verdicts, and silence with its faint floor.
    AudioClip quiet{16000, std::vector<int16_t>(16000, 0)};
    AddNoiseFloor(quiet, 3, 6);
    AudioClip white{16000, std::vector<int16_t>(16000, 0)};
    AddNoise(white, NoiseKind::White, 0, 7);
    struct Case {
        const char* what;
        std::vector<int16_t> samples;
    } cases[] = {{"digital silence", std::vector<int16_t>(16000, 0)},
                 {"quiet room", quiet.samples},
                 {"white noise", white.samples},
                 {"pink noise", noise.samples},
                 {"nothing at all", {}}};
    for (const Case& c : cases) EXPECT_EQ(RecogniseSamples(kBuiltIns, c.samples, 16000), "non") << c.what;
}

TEST(BuiltInRecogniser, PreRollKeepsSpeechThatStartedBeforeThePress) {
    RecogniserRun run(kBuiltIns);
    ASSERT_TRUE(run.started);
    // The captain speaks at once: the press comes a quarter of a second into the phrase, and only the
    // syllables before it tell "decrease" from "increase".
    EXPECT_EQ(SayThroughFolder(run, Spoken("decrease volume", 6), 0.25), "decrease volume");
}

// The microphone's path, threads, chunks, pre-roll and release tail and all, gives each utterance the
// verdict that its own sound, as the recogniser wrote it out, gets from new decoders by file, in the same
// order.
TEST(BuiltInRecogniser, TheMicrophonesPathHearsWhatItsSoundGivesByFile) {
    const std::vector<std::string> phrases =
        With(kBuiltIns, {"gear up", "flaps five", "before start checklist"});
    TempFolder heardFolder;
    std::vector<std::string> live;
    std::vector<size_t> said;
    {
        RecogniserRun run(phrases, heardFolder.path);
        ASSERT_TRUE(run.started);
        uint32_t seed = 20;
        // Said plainly, and in noise loud enough to leave the verdicts on a knife's edge, where any sound
        // lost or changed on the way would show.
        for (const char* phrase :
             {"flaps five", "gear up", "open the door please", "before start checklist"}) {
            for (double snr : {99.0, 3.0}) {
                AudioClip clip = Spoken(phrase, ++seed);
                if (snr < 99) AddNoise(clip, NoiseKind::White, snr, ++seed);
                said.push_back(clip.samples.size());
                live.push_back(SayThroughFolder(run, clip, said.size() == 3 ? 0.1 : 0));
            }
        }
    }
    EXPECT_EQ(live[0], "flaps five");
    EXPECT_EQ(live[4], "non");
    Hearing byFile(phrases);
    ASSERT_TRUE(byFile.ok);
    for (size_t i = 0; i < live.size(); ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "/heard-%04zu.wav", i + 1);
        AudioClip sound;
        ASSERT_TRUE(ReadWav(heardFolder.path + name, sound)) << name;
        EXPECT_EQ(sound.sampleRate, 16000);
        // The press came before the words' end and the release after it: the words are all there.
        EXPECT_GT(sound.samples.size(), said[i]) << name;
        const UtteranceVerdict v = byFile.Hear(sound);
        EXPECT_EQ(v.accepted ? v.heard : "non", live[i]) << name << " fit " << v.fitPerFrame;
    }
}

TEST(BuiltInRecogniser, ResultsBelongToTheirPressOnly) {
    RecogniserRun run(kBuiltIns);
    ASSERT_TRUE(run.started);
    EXPECT_EQ(NextOfflineResult(), "non");
    // A press and a release with nothing in the folder: nothing is queued.
    SetOfflineListening(true);
    Sleep(0.3);
    SetOfflineListening(false);
    EXPECT_EQ(AwaitVerdict(run), "non");
    // A release without a press does nothing.
    SetOfflineListening(false);
    EXPECT_EQ(NextOfflineResult(), "non");
}

TEST(BuiltInRecogniser, StartsWithoutAMicrophoneOrAFolder) {
    // No utterance folder (it does not exist): the microphone, and where the sound server is missing the
    // recogniser still starts, says so once, and listens to nothing.
    LogLines().clear();
    RecogniserSetup setup;
    setup.phrases = kBuiltIns;
    setup.utteranceFolder = "/nonexistent/utterances";
    setup.log = CollectLog;
    ASSERT_TRUE(StartOfflineRecogniser(setup));
    SetOfflineListening(true);
    Sleep(0.1);
    SetOfflineListening(false);
    EXPECT_EQ(NextOfflineResult(), "non");
    CloseOfflineRecogniser();
    int noMicrophone = 0;
    for (const std::string& line : LogLines())
        noMicrophone += line.rfind("Recognition: no microphone", 0) == 0;
    EXPECT_LE(noMicrophone, 1);
    EXPECT_FALSE(Logged("Recognition hears WAV files"));
}

TEST(BuiltInRecogniser, AMissingOrDamagedModelIsNamedInTheLogAndNothingElseBreaks) {
    const SpeechDataPaths real = PlatformSpeechData();
    TempFolder model;
    struct Case {
        const char* name;
        std::string acousticModel; // empty: the real one
        std::string dictionary;    // empty: the real one
        std::string logged;
    };
    // A model folder whose definition file is not what its manifest says (the library itself would end the
    // process on it), and one whose manifest names a file that is not there.
    model.Write("damaged/mdef", "BMDF cut short");
    model.Write("damaged/means", std::string(100, '\0'));
    model.Write("damaged/manifest.txt", "4294967295 2959176 mdef\n");
    model.Write("incomplete/mdef", "BMDF");
    model.Write("incomplete/means", std::string(100, '\0'));
    model.Write("incomplete/manifest.txt", "630447036 4 mdef\n2 838732 variances\n");
    const std::string m = model.path;
    const std::vector<Case> cases = {
        {"no model folder", m + "/missing", "",
         "Recognition: the recogniser's model file is missing: " + m + "/missing/mdef"},
        {"no dictionary", "", m + "/missing.dict",
         "Recognition: the recogniser's model file is missing: " + m + "/missing.dict"},
        {"a damaged model", m + "/damaged", "",
         "Recognition: the recogniser's model file is damaged: " + m + "/damaged/mdef"},
        {"a model with a file missing", m + "/incomplete", "",
         "Recognition: the recogniser's model file is missing: " + m + "/incomplete/variances"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SpeechDataPaths paths = real;
        if (!c.acousticModel.empty()) paths.acousticModel = c.acousticModel;
        if (!c.dictionary.empty()) paths.dictionary = c.dictionary;
        OverrideSpeechData(paths);
        LogLines().clear();
        RecogniserSetup setup;
        setup.phrases = kBuiltIns;
        setup.log = CollectLog;
        EXPECT_FALSE(StartOfflineRecogniser(setup));
        EXPECT_EQ(LogLines(), std::vector<std::string>{c.logged});
        // The rest stays harmless: push-to-talk, results, a grammar, a close.
        SetOfflineListening(true);
        SetOfflineListening(false);
        EXPECT_EQ(NextOfflineResult(), "non");
        EXPECT_FALSE(SetOfflineGrammar(kBuiltIns));
        CloseOfflineRecogniser();
        ResetSpeechData();
    }
    // And with its model back it starts again.
    RecogniserSetup setup;
    setup.phrases = kBuiltIns;
    EXPECT_TRUE(StartOfflineRecogniser(setup));
    CloseOfflineRecogniser();
}
