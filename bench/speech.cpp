// Benchmark of the speech synthesiser: how soon a queued line starts to sound, how fast lines render, and,
// where the platform can recognise offline, how well the recogniser understands each English voice.
//
// Lines are spoken with no sound server (PULSE_SERVER points nowhere), so nothing is heard while it runs
// and the first sample counts from the moment it is handed to the output.
#include "platform/recogniser.h"
#include "platform/voice.h"
#include "platform/audio_clip.h"
#include "systems/phrase_context.h"

#include "bench/bench_util.h"

#include <chrono>
#include <cstdlib>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

double MillisecondsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// Lines the first officer says, short and long.
const std::vector<std::string> kLines = {
    "Gear up.",
    "Flaps one.",
    "Positive rate.",
    "V one.",
    "Rotate.",
    "Speed checked.",
    "Flaps five, speed checked.",
    "Before start checklist.",
    "Landing lights on, taxi light off.",
    "Altimeters set, two nine nine two, cross checked.",
    "Takeoff speeds set, V one one four two, V R one four five, V two one five one.",
    "Fuel quantity checked, ten thousand four hundred kilograms, balanced.",
    "Flight deck preparation complete, ready for the before start checklist.",
    "Hello captain, I am your first officer for this flight.",
    "Flaps up, no lights.",
    "Panel lights brighter.",
    "Runway checked, runway two seven left.",
    "After takeoff checklist complete.",
    "Set standard, passing transition altitude.",
    "Approach briefing complete, ready for descent.",
};

// What the captain says: the program's built-in phrases and the demo aircraft's phrase conditions.
std::vector<std::string> CaptainPhrases() {
    std::vector<std::string> phrases(kBuiltInPhrases, kBuiltInPhrases + kBuiltInPhraseCount);
    for (const char* phrase : {"check altimeter", "flaps fifteen", "flaps five", "flaps one", "flaps thirty",
                               "flaps up", "fuel check", "gear down", "gear up", "landing lights off",
                               "landing lights on", "panel lights brighter", "panel lights dimmer",
                               "runway check", "set flaps up speed", "set standard", "takeoff speeds"})
        phrases.emplace_back(phrase);
    return phrases;
}
const std::vector<std::string> kPhrases = CaptainPhrases();

// The phrase with a quarter second of silence on each side and a white noise floor 40 dB below the speech.
std::vector<int16_t> WithNoiseFloor(const std::vector<int16_t>& speech, int sampleRate, uint32_t seed) {
    AudioClip clip;
    clip.sampleRate = sampleRate;
    AppendSilence(clip, 0.25);
    clip.samples.insert(clip.samples.end(), speech.begin(), speech.end());
    AppendSilence(clip, 0.25);
    AddNoise(clip, NoiseKind::White, 40, seed);
    return clip.samples;
}

void MeasureFirstSample(int voice) {
    std::vector<double> delays;
    for (int round = 0; round < 2; ++round) {
        for (size_t i = 0; i < kLines.size(); ++i) {
            if (!StartPlatformVoice()) return;
            SelectPlatformVoice(voice);
            Clock::time_point start = Clock::now();
            PlatformSpeak(kLines[i]);
            double delay = -1;
            while (MillisecondsSince(start) < 5000) {
                PlatformVoiceStatus status = GetPlatformVoiceStatus();
                if (status.speaking && status.phonemeId != 4) {
                    delay = MillisecondsSince(start);
                    break;
                }
                std::this_thread::sleep_for(std::chrono::microseconds(200));
            }
            StopPlatformVoice();                                  // the rest of the line is not needed
            if (round > 0 && delay >= 0) delays.push_back(delay); // the first round warms up
        }
    }
    PrintFigure("speech", "say to first sample", Percentile(delays, 50), "ms");
    PrintFigure("speech", "say to first sample p99", Percentile(delays, 99), "ms");
}

void MeasureRendering(int voice) {
    for (int sampleRate : {16000, 22050}) {
        std::vector<double> factors;
        for (int round = 0; round < 3; ++round) {
            for (const std::string& line : kLines) {
                Clock::time_point start = Clock::now();
                std::vector<int16_t> samples = RenderPlatformSpeech(line, voice, 0, sampleRate);
                double seconds = MillisecondsSince(start) / 1000.0;
                if (round > 0 && !samples.empty())
                    factors.push_back(seconds / (static_cast<double>(samples.size()) / sampleRate));
            }
        }
        PrintFigure("speech",
                    sampleRate == 16000 ? "render real-time factor" : "render real-time factor at 22050 Hz",
                    Percentile(factors, 50), "x");
    }
}

void MeasureIntelligibility(const std::vector<std::string>& voices) {
    constexpr int kRate = 16000;
    uint32_t seed = 738;
    bool anyHeard = false;
    for (size_t v = 0; v < voices.size(); ++v) {
        if (voices[v].find("English") == std::string::npos) continue;
        size_t understood = 0;
        size_t heard = 0;
        for (const std::string& phrase : kPhrases) {
            std::vector<int16_t> speech = RenderPlatformSpeech(phrase, static_cast<int>(v), 0, kRate);
            std::string result = RecogniseSamples(kPhrases, WithNoiseFloor(speech, kRate, seed++), kRate);
            if (result != "non") ++heard;
            if (result == phrase) ++understood;
        }
        if (heard == 0) continue;
        anyHeard = true;
        size_t space = voices[v].find(' ');
        std::string name = voices[v].substr(space + 1, voices[v].find(' ', space + 1) - space - 1);
        PrintFigure("speech", "intelligibility " + name,
                    100.0 * static_cast<double>(understood) / static_cast<double>(kPhrases.size()), "%");
    }
    if (!anyHeard) std::printf("bench speech: intelligibility: no offline recogniser here\n");
}

} // namespace

int main() {
    static char noSoundServer[] = "PULSE_SERVER=unix:/nonexistent/talvero-bench-speech";
    putenv(noSoundServer);
    if (!StartPlatformVoice()) {
        std::printf("bench speech: no speech synthesiser\n");
        return 1;
    }
    std::vector<std::string> voices = PlatformVoiceDescriptions();
    StopPlatformVoice();
    // The first officer's voice, as the program chooses it.
    int firstOfficer = 0;
    for (size_t i = 0; i < voices.size(); ++i)
        if (voices[i].find("Zira") != std::string::npos) firstOfficer = static_cast<int>(i);
    MeasureFirstSample(firstOfficer);
    MeasureRendering(firstOfficer);
    MeasureIntelligibility(voices);
    return 0;
}
