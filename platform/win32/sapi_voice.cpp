// Windows' own speech synthesiser: one SAPI 5 voice object routed to the default audio output, voices
// taken from the SPCAT_VOICES tokens, lines queued asynchronously. No engine result is acted upon.
#include "platform/win32/sapi_speech.h"

#include "platform/win32/sapi_support.h"

#include <algorithm>

namespace {

struct SapiVoiceState {
    ISpVoice* voice = nullptr;
    bool comStarted = false;
};

SapiVoiceState& SapiVoice() {
    static SapiVoiceState state;
    return state;
}

// The engine's own ends; the program's rate formula reaches one step past each.
constexpr int kSlowestRate = -10;
constexpr int kFastestRate = 10;

} // namespace

bool StartSapiVoice() {
    SapiVoiceState& state = SapiVoice();
    if (state.voice != nullptr) return true;
    if (!state.comStarted && SUCCEEDED(CoInitialize(nullptr))) state.comStarted = true;
    if (CoCreateInstance(CLSID_SpVoice, nullptr, CLSCTX_ALL, IID_ISpVoice,
                         reinterpret_cast<void**>(&state.voice)) != S_OK) {
        if (state.voice != nullptr) state.voice->Release();
        state.voice = nullptr;
    }
    if (state.voice == nullptr) return false;
    if (ISpObjectToken* output = DefaultCategoryToken(SPCAT_AUDIOOUT)) {
        state.voice->SetOutput(output, FALSE);
        output->Release();
    }
    return true;
}

void StopSapiVoice() {
    SapiVoiceState& state = SapiVoice();
    if (state.voice != nullptr) {
        state.voice->Speak(nullptr, SPF_PURGEBEFORESPEAK, nullptr);
        state.voice->Release();
        state.voice = nullptr;
    }
    if (state.comStarted) CoUninitialize();
    state.comStarted = false;
}

std::vector<std::string> SapiVoiceDescriptions() {
    std::vector<std::string> descriptions;
    if (SapiVoice().voice == nullptr) return descriptions;
    IEnumSpObjectTokens* tokens = EnumerateCategoryTokens(SPCAT_VOICES);
    if (tokens == nullptr) return descriptions;
    ULONG count = 0;
    if (tokens->GetCount(&count) != S_OK) count = 0;
    LANGID language = GetUserDefaultUILanguage();
    for (ULONG i = 0; i < count; ++i) {
        // A token that cannot be read keeps its place (empty), so positions stay the engine's own.
        std::string narrow;
        ISpObjectToken* token = nullptr;
        if (tokens->Item(i, &token) == S_OK && token != nullptr) {
            std::wstring description;
            if (ReadTokenDescription(token, language, description) && !description.empty()) {
                int size =
                    WideCharToMultiByte(CP_ACP, 0, description.c_str(), static_cast<int>(description.size()),
                                        nullptr, 0, nullptr, nullptr);
                narrow.assign(static_cast<size_t>(std::max(size, 0)), '\0');
                if (size > 0)
                    WideCharToMultiByte(CP_ACP, 0, description.c_str(), static_cast<int>(description.size()),
                                        narrow.data(), size, nullptr, nullptr);
            }
        }
        if (token != nullptr) token->Release();
        descriptions.push_back(narrow);
    }
    tokens->Release();
    return descriptions;
}

void SelectSapiVoice(int position) {
    SapiVoiceState& state = SapiVoice();
    if (state.voice == nullptr || position < 0) return;
    IEnumSpObjectTokens* tokens = EnumerateCategoryTokens(SPCAT_VOICES);
    if (tokens == nullptr) return;
    ULONG count = 0;
    ISpObjectToken* token = nullptr;
    if (tokens->GetCount(&count) == S_OK && static_cast<ULONG>(position) < count &&
        tokens->Item(static_cast<ULONG>(position), &token) == S_OK && token != nullptr)
        state.voice->SetVoice(token);
    if (token != nullptr) token->Release();
    tokens->Release();
}

// SAPI refuses a rate outside -10..10 and keeps the previous one, so the fastest setting would speak at
// whatever rate came before; held to the engine's ends, it speaks at the engine's fastest instead.
void SetSapiVoiceRate(int rate) {
    if (ISpVoice* voice = SapiVoice().voice) voice->SetRate(std::clamp(rate, kSlowestRate, kFastestRate));
}

void SetSapiVoiceVolume(int volume) {
    if (ISpVoice* voice = SapiVoice().voice)
        voice->SetVolume(static_cast<USHORT>(std::clamp(volume, 0, 100)));
}

void SapiSpeak(const std::string& text) {
    if (ISpVoice* voice = SapiVoice().voice) voice->Speak(WidenBytes(text).c_str(), SPF_ASYNC, nullptr);
}

PlatformVoiceStatus GetSapiVoiceStatus() {
    PlatformVoiceStatus status;
    ISpVoice* voice = SapiVoice().voice;
    SPVOICESTATUS engine{};
    if (voice == nullptr || voice->GetStatus(&engine, nullptr) != S_OK) return status;
    status.speaking = engine.dwRunningState == SPRS_IS_SPEAKING;
    status.phonemeId = engine.PhonemeId;
    return status;
}

HRESULT SapiSpeakProbe() {
    ISpVoice* voice = SapiVoice().voice;
    if (voice == nullptr) return E_POINTER;
    // An empty line says nothing where speaking works; wine answers E_NOTIMPL.
    return voice->Speak(L"", SPF_ASYNC | SPF_PURGEBEFORESPEAK, nullptr);
}
