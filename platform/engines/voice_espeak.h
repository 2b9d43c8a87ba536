// eSpeak NG inside the process: the voices Linux offers, and lines rendered into samples, every call into
// the library made holding the process's one engine lock (the library keeps global state).
#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct EspeakVoice {
    const char* description; // as the program sees it: "eSpeak <Name> - <Language> (<Country>)"
    const char* name;        // eSpeak's language voice and variant, e.g. "en-us+f5"
};

// The voices, in the order PlatformVoiceDescriptions reports them.
const std::vector<EspeakVoice>& EspeakVoices();

// The rate the program gives (-11..11, as SAPI takes it: 0 normal, +10 about three times as fast, -10 a
// third) as eSpeak's words per minute, within eSpeak's own range.
int EspeakWordsPerMinute(int rate);

// The sample rate eSpeak renders at.
constexpr int kEspeakSampleRate = 22050;

// Receives rendered samples (mono, 16-bit, kEspeakSampleRate) block by block; false stops the rendering.
using EspeakSink = std::function<bool(const int16_t* samples, size_t count)>;

// Starts the engine if it has not started; false when it cannot (or renders at another rate).
bool StartEspeak();

// Speaks `text` (8-bit, Latin-1) in the voice at `position` and rate into `sink`, holding the library's
// lock for the whole line. False when the engine cannot start or the voice does not exist.
bool RenderEspeak(const std::string& text, int position, int rate, const EspeakSink& sink);

// The same in any of eSpeak's voices by its name, with a variant ("en-us+m3", "en-gb-scotland+klatt"):
// the benchmarks' speakers.
bool RenderEspeakVoice(const std::string& text, const std::string& voiceName, int rate,
                       const EspeakSink& sink);

// Band-limited resampling of 16-bit mono samples from one rate to another.
std::vector<int16_t> ResampleSpeech(const std::vector<int16_t>& samples, int fromRate, int toRate);
