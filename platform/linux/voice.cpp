// The speech synthesiser: not yet built on this platform; nothing speaks.
#include "platform/voice.h"

bool StartPlatformVoice() { return false; }
void StopPlatformVoice() {}
std::vector<std::string> PlatformVoiceDescriptions() { return {}; }
void SelectPlatformVoice(int) {}
void SetPlatformVoiceRate(int) {}
void SetPlatformVoiceVolume(int) {}
void PlatformSpeak(const std::string&) {}
PlatformVoiceStatus GetPlatformVoiceStatus() { return {}; }
std::vector<int16_t> RenderPlatformSpeech(const std::string&, int, int, int) { return {}; }
