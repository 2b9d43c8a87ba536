// The platform's speech synthesiser, as speech output uses it: installed voices by description, a voice,
// rate and volume chosen, lines queued without ever blocking the caller, and the speaking status read
// once a pass. Linux speaks through the built-in synthesiser (eSpeak NG) to the default sound output;
// Windows through SAPI where it has voices that speak, else through the same built-in synthesiser.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct PlatformVoiceStatus {
    bool speaking = false; // a queued line is still being spoken (or, without a sound server, would be)
    int phonemeId = 0;     // the engine's current phoneme; 4 is the pause between words
};

// Creates the synthesiser and routes it to the default sound output; false when there is none, and the
// other operations then do nothing (the status stays silent, no voices).
bool StartPlatformVoice();
// What the platform chose to speak with and why, for the log; empty where there is nothing to choose.
std::string PlatformVoiceChoice();
// Stops speaking and releases the synthesiser and its threads. Safe to call when it never started.
void StopPlatformVoice();
// The installed voices as the engine describes them, in its own order, all languages.
std::vector<std::string> PlatformVoiceDescriptions();
// The voice at this position of PlatformVoiceDescriptions speaks the lines queued from now on; a position
// outside the list changes nothing.
void SelectPlatformVoice(int position);
// Rate -11..11 (0 normal; the engine keeps to its own ends), volume 0..100, for lines queued from now on.
void SetPlatformVoiceRate(int rate);
void SetPlatformVoiceVolume(int volume);
// Queues a line in the selected voice, rate and volume, behind any line still being spoken. Returns at
// once.
void PlatformSpeak(const std::string& text);
PlatformVoiceStatus GetPlatformVoiceStatus();

// Speaks a line into 16-bit mono samples at `sampleRate` in the built-in synthesiser's voice at
// `position` with the given rate (-11..11), without playing it: for the simulator stand-in's captain, the
// tools and the tests. Empty where the synthesiser cannot start or the voice does not exist.
std::vector<int16_t> RenderPlatformSpeech(const std::string& text, int position, int rate, int sampleRate);
// The voices RenderPlatformSpeech speaks in, by position, without starting the synthesiser (on Linux the
// list PlatformVoiceDescriptions gives once it has started). Empty when the synthesiser cannot start.
std::vector<std::string> RenderableVoiceDescriptions();
