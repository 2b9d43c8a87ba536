// The voices of speech output: the list of usable voices and its file for the module, the choice of the
// first officer's and the captain's voice, rate and volume, and the captain's phrases read aloud.
#pragma once
#include <string>
#include <vector>

// The file the module reads to show the voices by short name; rewritten at every start.
inline constexpr const char* kVoiceListPath = "./data/voicelist.txt";

// Start-up of speech output, before recognition and the settings: builds SpeakersList, logs it, selects
// the first officer's voice and tells the module its position (message type 15).
void InitTextToSpeech();
// Enumerates the engine's voices and returns those whose description contains "English"; on the way sets
// capVoiceIndex to the last one naming "David" and currentVoiceIndex to the last one naming "Zira", and
// writes kVoiceListPath (the second word of each description, one line-feed-ended line each).
std::vector<std::string> GetSpeakersList();
// Selects the last installed voice whose description begins with `name`; no match leaves the voice.
void SelectVoice(const std::string& name);
// The first officer's voice becomes SpeakersList[position]; announced when asked. An invalid position
// changes nothing and, when announcing, says so.
void ChangeVoice(int position, bool announce);
// Rate setting 0..100 (50 is the voice's normal rate) to the engine as rate / 100 * 22 - 11.
void SetSpeechRate(float rate, bool announce);
// Volume setting 0..100 to the engine.
void SetSpeechVolume(float volume, bool announce);
// The captain's phrase in the captain's voice, when captain speech is on or `force` is set. Lines that
// start with "say"/"Say" and the word "any" stay silent. True when the line went to the voice: the flow
// then waits until it has been spoken (SayCaptainsLine).
bool SpeakCapText(const std::string& text, bool force);

// The engine rate for a rate setting, before truncation: rate / 100 * 22 - 11 in double precision, held
// as a single-precision float.
float EngineRateOf(float rate);
// A setting as the engine and the announcements take it: truncated toward zero; 0 for a value that is
// not a number, the nearest end for one beyond 32 bits.
int TruncatedSetting(float value);
