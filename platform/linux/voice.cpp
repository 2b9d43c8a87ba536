// The speech synthesiser on Linux: the built-in one (eSpeak NG), which is all Linux has.
#include "platform/engines/offline_speech.h"

bool StartPlatformVoice() {
    return StartOfflineVoice();
}
void StopPlatformVoice() {
    StopOfflineVoice();
}
std::vector<std::string> PlatformVoiceDescriptions() {
    return OfflineVoiceDescriptions();
}
void SelectPlatformVoice(int position) {
    SelectOfflineVoice(position);
}
void SetPlatformVoiceRate(int rate) {
    SetOfflineVoiceRate(rate);
}
void SetPlatformVoiceVolume(int volume) {
    SetOfflineVoiceVolume(volume);
}
void PlatformSpeak(const std::string& text) {
    OfflineSpeak(text);
}
PlatformVoiceStatus GetPlatformVoiceStatus() {
    return GetOfflineVoiceStatus();
}
std::string PlatformVoiceChoice() {
    const std::string whyNot = OfflineVoiceWhyNot();
    return whyNot.empty() ? std::string() : "Speech: no voice speaks (" + whyNot + ")";
}
