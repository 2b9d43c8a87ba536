// The main loop for ten seconds with empty subsystems, then for ten seconds while the first officer
// speaks and the recogniser decodes the captain's utterances: processor time as a share of one core (the
// speech threads' included), and how late each pass starts against its 20 ms schedule.
#include "app/frame.h"
#include "bench/bench_util.h"
#include "platform/recogniser.h"
#include "platform/voice.h"
#include "speech/audio_clip.h"

#include <ctime>
#include <filesystem>
#include <string>

namespace {
std::vector<double> lateness;
double previousStart = -1;

void MeasurePass() {
    double start = Frame().frameTime;
    if (previousStart >= 0) lateness.push_back((start - previousStart - 0.02) * 1000.0);
    previousStart = start;
}

// The speech pass: a new line whenever the voice has finished, the status read as the speech monitor
// does, push-to-talk held for each utterance the folder gets, and the results fetched.
struct SpeechLoad {
    std::string folder;
    AudioClip utterance;
    int pass = 0, dropped = 0, heard = 0, linesSpoken = 0;
};
SpeechLoad load;

void SpeechPass() {
    MeasurePass();
    if (!GetPlatformVoiceStatus().speaking) {
        PlatformSpeak("Flaps five; speed checked; before takeoff checklist completed");
        ++load.linesSpoken;
    }
    // Every 2 s: an utterance dropped and push-to-talk held for 1.6 s of it.
    int phase = load.pass++ % 100;
    if (phase == 0 && !load.utterance.samples.empty()) {
        WriteWav(load.folder + "/utterance-" + std::to_string(++load.dropped) + ".wav", load.utterance);
        SetPlatformListening(true);
    } else if (phase == 80) {
        SetPlatformListening(false);
    }
    if (NextPlatformResult() != "non") ++load.heard;
}

void MeasureLoop(const char* what) {
    FrameState& frame = Frame();
    MeasureLoop("");

    // While speaking and decoding.
    std::filesystem::path folder = std::filesystem::temp_directory_path() / "talvero-bench-utterances";
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    load.folder = folder.string();
    const std::vector<std::string> phrases = {"flaps five", "gear up", "before takeoff checklist", "set", "checked"};
    load.utterance.sampleRate = 16000;
    load.utterance.samples = RenderPlatformSpeech("before takeoff checklist", 0, 0, 16000);
    AddNoiseFloor(load.utterance, 3.0, 7);
    RecogniserSetup setup;
    setup.phrases = phrases;
    setup.utteranceFolder = load.folder;
    bool voice = StartPlatformVoice();
    bool recogniser = StartPlatformRecogniser(setup);
    if (!voice || !recogniser || load.utterance.samples.empty()) {
        std::printf("bench main-loop: speech not measured (voice %s, recogniser %s, utterance %s)\n",
                    voice ? "started" : "missing", recogniser ? "started" : "missing",
                    load.utterance.samples.empty() ? "missing" : "rendered");
    } else {
        frame.subsystems.monitor = SpeechPass;
        previousStart = -1;
        MeasureLoop(" while speaking and decoding");
        PrintFigure("main-loop", "utterances heard while measuring", load.heard, "count");
        PrintFigure("main-loop", "lines spoken while measuring", load.linesSpoken, "count");
    }
    ClosePlatformRecogniser();
    StopPlatformVoice();
    std::filesystem::remove_all(folder);
    return 0;
}
