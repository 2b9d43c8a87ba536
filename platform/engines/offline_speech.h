// The built-in speech engines, the same on both products: eSpeak NG speaks and pocketsphinx listens, inside
// the process, with only the sound devices from the platform (platform/sound_input.h, sound_output.h).
// The platform's voice and recogniser bodies use them: Linux always, Windows when its own speech is
// missing or not chosen. The functions keep the promises of platform/voice.h and platform/recogniser.h of
// the same names.
#pragma once
#include "platform/recogniser.h"
#include "platform/voice.h"

bool StartOfflineVoice();
void StopOfflineVoice();
std::vector<std::string> OfflineVoiceDescriptions();
void SelectOfflineVoice(int position);
void SetOfflineVoiceRate(int rate);
void SetOfflineVoiceVolume(int volume);
void OfflineSpeak(const std::string& text);
PlatformVoiceStatus GetOfflineVoiceStatus();
// Why the built-in synthesiser could not start (its data missing, ...); empty when it could.
std::string OfflineVoiceWhyNot();

bool StartOfflineRecogniser(const RecogniserSetup& setup);
bool SetOfflineGrammar(const std::vector<std::string>& phrases);
void SetOfflineListening(bool active);
std::string NextOfflineResult();
void CloseOfflineRecogniser();
