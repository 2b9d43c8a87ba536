// The main loop for ten seconds with empty subsystems, paced as the program paces it (sleeping to each
// deadline) and, side by side, as it was paced before (sleeping to a margin short of the deadline and
// spinning the rest); then for ten seconds while the first officer speaks and the recogniser decodes the
// captain's utterances. Figures: processor time as a share of one core (the speech threads' included),
// and how late each pass starts against its 20 ms schedule.
#include "app/frame.h"
#include "bench/bench_util.h"
#include "platform/clock.h"
#include "platform/recogniser.h"
#include "platform/voice.h"
#include "platform/audio_clip.h"

#include <algorithm>
#include <filesystem>
#include <pthread.h> // clock_gettime of the process's processor time, with mingw-w64 too
#include <string>
#include <time.h>

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

double ProcessCpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

// The pacing of before: sleep to a margin short of the deadline, then spin; the margin is twice the
// running average of how late a sleep comes back.
int64_t spinMargin = 200000, spinLateness = 75000;
void SleepThenSpinTo(int64_t deadline) {
    for (;;) {
        int64_t now = MonotonicNanos();
        int64_t remaining = deadline - now;
        if (remaining <= 0) return;
        if (remaining > spinMargin) {
            int64_t asked = remaining - spinMargin;
            SleepNanos(asked);
            int64_t late = std::max<int64_t>(0, MonotonicNanos() - now - asked);
            spinLateness += (late - spinLateness) / 8;
            spinMargin = std::clamp<int64_t>(2 * spinLateness + 50000, 50000, 2000000);
        }
    }
}

// 500 passes (ten seconds) after a warm-up of 25.
void MeasureLoop(const std::string& what) {
    FrameState& frame = Frame();
    for (int i = 0; i < 25; ++i) RunPass();
    lateness.clear();
    double cpuBefore = ProcessCpuSeconds();
    int64_t wallBefore = frame.clock.now();
    int64_t sleepsBefore = frame.pacingSleeps;
    for (int i = 0; i < 500; ++i) RunPass();
    double cpu = ProcessCpuSeconds() - cpuBefore;
    double wall = static_cast<double>(frame.clock.now() - wallBefore) / 1e9;
    PrintFigure("main-loop", "cpu" + what, 100.0 * cpu / wall, "%");
    PrintFigure("main-loop", "lateness median" + what, Percentile(lateness, 50), "ms");
    PrintFigure("main-loop", "lateness p99" + what, Percentile(lateness, 99), "ms");
    PrintFigure("main-loop", "lateness max" + what, Percentile(lateness, 100), "ms");
    PrintFigure("main-loop", "sleeps per pass" + what,
                static_cast<double>(frame.pacingSleeps - sleepsBefore) / 500, "count");
}
} // namespace

int main() {
    ResetFrame();
    FrameState& frame = Frame();
    frame.clock = PlatformClock();
    frame.subsystems = FrameSubsystems{};
    frame.subsystems.monitor = MeasurePass;
    frame.startInstant = frame.clock.now();

    // Before: the same loop with the spinning pacer in the clock's place.
    frame.clock.sleepUntil = SleepThenSpinTo;
    MeasureLoop(" (sleep and spin, before)");
    frame.clock = PlatformClock();
    previousStart = -1;
    MeasureLoop("");

    // While speaking and decoding.
    std::filesystem::path folder = std::filesystem::temp_directory_path() / "talvero-bench-utterances";
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    load.folder = folder.string();
    const std::vector<std::string> phrases = {"flaps five", "gear up", "before takeoff checklist", "set",
                                              "checked"};
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
