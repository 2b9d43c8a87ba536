// The speech synthesiser on Windows: Windows' own voices (SAPI) where Windows has an English voice that
// speaks, otherwise the built-in voices (eSpeak NG, the same as on Linux), as on a Windows without voices
// or under wine, whose SAPI answers every line with E_NOTIMPL.
#include "platform/engines/offline_speech.h"
#include "platform/win32/sapi_speech.h"

#include <cstdio>

namespace {
struct WindowsVoiceState {
    bool started = false;
    bool builtIn = false; // the built-in synthesiser speaks
    std::string choice;   // for the log
};
WindowsVoiceState& WindowsVoice() {
    static WindowsVoiceState state;
    return state;
}

bool HasEnglishVoice(const std::vector<std::string>& descriptions) {
    for (const std::string& d : descriptions)
        if (d.find("English") != std::string::npos) return true;
    return false;
}

std::string Hex(HRESULT hr) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08lX", static_cast<unsigned long>(hr));
    return text;
}
} // namespace

bool StartPlatformVoice() {
    WindowsVoiceState& w = WindowsVoice();
    if (w.started) return true;
    std::string why;
    if (!StartSapiVoice()) {
        why = "Windows' speech synthesiser did not start";
    } else if (!HasEnglishVoice(SapiVoiceDescriptions())) {
        why = "Windows has no English voice";
    } else if (HRESULT hr = SapiSpeakProbe(); hr != S_OK) {
        why = "Windows' voices do not speak (" + Hex(hr) + ")";
    }
    w.started = true;
    if (why.empty()) {
        w.builtIn = false;
        w.choice = "Speech: Windows' voices speak";
        return true;
    }
    StopSapiVoice();
    w.builtIn = true;
    if (StartOfflineVoice()) {
        w.choice = "Speech: the built-in voices speak (" + why + ")";
        return true;
    }
    w.choice = "Speech: no voice speaks (" + why + "; " + OfflineVoiceWhyNot() + ")";
    w.started = false;
    return false;
}

std::string PlatformVoiceChoice() {
    return WindowsVoice().choice;
}

void StopPlatformVoice() {
    WindowsVoiceState& w = WindowsVoice();
    if (w.builtIn)
        StopOfflineVoice();
    else
        StopSapiVoice();
    w = WindowsVoiceState{};
}

std::vector<std::string> PlatformVoiceDescriptions() {
    return WindowsVoice().builtIn ? OfflineVoiceDescriptions() : SapiVoiceDescriptions();
}
void SelectPlatformVoice(int position) {
    if (WindowsVoice().builtIn)
        SelectOfflineVoice(position);
    else
        SelectSapiVoice(position);
}
void SetPlatformVoiceRate(int rate) {
    if (WindowsVoice().builtIn)
        SetOfflineVoiceRate(rate);
    else
        SetSapiVoiceRate(rate);
}
void SetPlatformVoiceVolume(int volume) {
    if (WindowsVoice().builtIn)
        SetOfflineVoiceVolume(volume);
    else
        SetSapiVoiceVolume(volume);
}
void PlatformSpeak(const std::string& text) {
    if (WindowsVoice().builtIn)
        OfflineSpeak(text);
    else
        SapiSpeak(text);
}
PlatformVoiceStatus GetPlatformVoiceStatus() {
    return WindowsVoice().builtIn ? GetOfflineVoiceStatus() : GetSapiVoiceStatus();
}
