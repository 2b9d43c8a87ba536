// Windows' own speech, SAPI 5: its synthesiser (voice tokens of SPCAT_VOICES, one ISpVoice) and its shared
// recogniser. The platform's voice and recogniser bodies use them where they work and fall back on the
// built-in engines (platform/engines) where they do not. The functions keep the promises of
// platform/voice.h and platform/recogniser.h of the same names.
#pragma once
#include "platform/recogniser.h"
#include "platform/voice.h"

#include <windows.h>

bool StartSapiVoice();
void StopSapiVoice();
std::vector<std::string> SapiVoiceDescriptions();
void SelectSapiVoice(int position);
void SetSapiVoiceRate(int rate);
void SetSapiVoiceVolume(int volume);
void SapiSpeak(const std::string& text);
PlatformVoiceStatus GetSapiVoiceStatus();
// Whether the started voice speaks at all: an empty line queued, and the engine's answer (S_OK where it
// works).
HRESULT SapiSpeakProbe();

// On failure the failed step is in SapiRecogniser().failedStep (sapi_support.h).
bool StartSapiRecogniser(const RecogniserSetup& setup);
bool SetSapiGrammar(const std::vector<std::string>& phrases);
void SetSapiListening(bool active);
std::string NextSapiResult();
void CloseSapiRecogniser();
