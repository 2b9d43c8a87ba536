// Stand-ins for the SAPI recogniser, context, grammar and result objects: each call they receive is
// written down in order, any method can be told to answer a failure, and events are queued by the test.
// Wine has no shared recogniser, so the recogniser's sequences are checked against these.
#pragma once
#include <windows.h>
// after windows.h, which it needs
#include <sapi.h>

#include <cstdio>
#include <cstring>
#include <cwchar>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <vector>

struct FakeSapi {
    std::vector<std::string> calls;
    std::map<std::string, HRESULT> answers; // a method's answer instead of S_OK
    std::deque<SPEVENT> events;             // what GetEvents hands out, one at a time
    bool noContext = false;                 // CreateRecoContext makes nothing
    std::vector<std::wstring> words;        // the texts of the word transitions, as received
    int contextsMade = 0;

    HRESULT Answer(const std::string& method) {
        auto found = answers.find(method);
        return found != answers.end() ? found->second : S_OK;
    }
    HRESULT Call(const std::string& method, const std::string& details = "") {
        calls.push_back(details.empty() ? method : method + " " + details);
        return Answer(method);
    }
};

inline std::string Hex(unsigned long long value) {
    char text[32];
    std::snprintf(text, sizeof text, "0x%llx", value);
    return text;
}

inline std::string Narrow(const wchar_t* text) {
    std::string out;
    for (; text != nullptr && *text != 0; ++text) out += static_cast<char>(*text);
    return text == nullptr ? "(null)" : out;
}

// Reference counting shared by the fakes: the object outlives its last release (the test owns it) and
// says when it got there.
template <typename Interface> struct FakeUnknown : Interface {
    FakeUnknown(FakeSapi& sapi, std::string name) : sapi(sapi), name(std::move(name)) {}
    virtual ~FakeUnknown() = default;
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** out) override {
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs; }
    ULONG STDMETHODCALLTYPE Release() override {
        if (--refs == 0) sapi.calls.push_back(name + " released");
        return refs;
    }
    FakeSapi& sapi;
    std::string name;
    ULONG refs = 0;
};

#define FAKE_UNUSED(...)                                                                                     \
    HRESULT STDMETHODCALLTYPE __VA_ARGS__ override {                                                         \
        return E_NOTIMPL;                                                                                    \
    }

struct FakeGrammar : FakeUnknown<ISpRecoGrammar> {
    using FakeUnknown::FakeUnknown;
    static inline SPSTATEHANDLE const kInitialState = reinterpret_cast<SPSTATEHANDLE>(0x77);

    HRESULT STDMETHODCALLTYPE ResetGrammar(WORD language) override {
        return sapi.Call("ResetGrammar", Hex(language));
    }
    HRESULT STDMETHODCALLTYPE GetRule(LPCWSTR name, DWORD id, DWORD attributes, WINBOOL create,
                                      SPSTATEHANDLE* initial) override {
        *initial = kInitialState;
        return sapi.Call("GetRule", Narrow(name) + " " + std::to_string(id) + " " + Hex(attributes) + " " +
                                        std::to_string(create));
    }
    HRESULT STDMETHODCALLTYPE AddWordTransition(SPSTATEHANDLE from, SPSTATEHANDLE to, LPCWSTR text,
                                                LPCWSTR separators, SPGRAMMARWORDTYPE type, float weight,
                                                const SPPROPERTYINFO* property) override {
        sapi.words.push_back(text);
        std::string details = Narrow(text) + " from=" + (from == kInitialState ? "initial" : "other") +
                              " to=" + (to == nullptr ? "end" : "other") + " separators='" +
                              Narrow(separators) + "' type=" + std::to_string(type) +
                              " weight=" + std::to_string(weight) +
                              " property=" + (property == nullptr ? "none" : "some");
        sapi.calls.push_back("AddWordTransition " + details);
        return sapi.Answer("AddWordTransition " + Narrow(text));
    }
    HRESULT STDMETHODCALLTYPE Commit(DWORD reserved) override {
        return sapi.Call("Commit", std::to_string(reserved));
    }
    HRESULT STDMETHODCALLTYPE SetRuleState(LPCWSTR name, void* reserved, SPRULESTATE state) override {
        return sapi.Call("SetRuleState",
                         Narrow(name) + (reserved == nullptr ? " none " : " some ") + std::to_string(state));
    }
    FAKE_UNUSED(ClearRule(SPSTATEHANDLE))
    FAKE_UNUSED(CreateNewState(SPSTATEHANDLE, SPSTATEHANDLE*))
    FAKE_UNUSED(AddRuleTransition(SPSTATEHANDLE, SPSTATEHANDLE, SPSTATEHANDLE, float, const SPPROPERTYINFO*))
    FAKE_UNUSED(AddResource(SPSTATEHANDLE, LPCWSTR, LPCWSTR))
    FAKE_UNUSED(GetGrammarId(ULONGLONG*))
    FAKE_UNUSED(GetRecoContext(ISpRecoContext**))
    FAKE_UNUSED(LoadCmdFromFile(LPCWSTR, SPLOADOPTIONS))
    FAKE_UNUSED(LoadCmdFromObject(REFCLSID, LPCWSTR, SPLOADOPTIONS))
    FAKE_UNUSED(LoadCmdFromResource(HMODULE, LPCWSTR, LPCWSTR, WORD, SPLOADOPTIONS))
    FAKE_UNUSED(LoadCmdFromMemory(const SPBINARYGRAMMAR*, SPLOADOPTIONS))
    FAKE_UNUSED(LoadCmdFromProprietaryGrammar(REFGUID, LPCWSTR, const void*, ULONG, SPLOADOPTIONS))
    FAKE_UNUSED(SetRuleIdState(ULONG, SPRULESTATE))
    FAKE_UNUSED(LoadDictation(LPCWSTR, SPLOADOPTIONS))
    FAKE_UNUSED(UnloadDictation())
    FAKE_UNUSED(SetDictationState(SPRULESTATE))
    FAKE_UNUSED(SetWordSequenceData(const WCHAR*, ULONG, const SPTEXTSELECTIONINFO*))
    FAKE_UNUSED(SetTextSelection(const SPTEXTSELECTIONINFO*))
    FAKE_UNUSED(IsPronounceable(LPCWSTR, SPWORDPRONOUNCEABLE*))
    FAKE_UNUSED(SetGrammarState(SPGRAMMARSTATE))
    FAKE_UNUSED(SaveCmd(IStream*, LPWSTR*))
    FAKE_UNUSED(GetGrammarState(SPGRAMMARSTATE*))
};

struct FakeContext : FakeUnknown<ISpRecoContext> {
    using FakeUnknown::FakeUnknown;
    std::unique_ptr<FakeGrammar> grammar;
    static inline HANDLE const kEventHandle = reinterpret_cast<HANDLE>(0x55);

    HRESULT STDMETHODCALLTYPE CreateGrammar(ULONGLONG id, ISpRecoGrammar** out) override {
        HRESULT hr = sapi.Call("CreateGrammar", std::to_string(id));
        *out = nullptr;
        if (hr == S_OK) {
            grammar = std::make_unique<FakeGrammar>(sapi, "grammar of " + name);
            grammar->AddRef();
            *out = grammar.get();
        }
        return hr;
    }
    HRESULT STDMETHODCALLTYPE Pause(DWORD reserved) override {
        return sapi.Call("Pause", std::to_string(reserved));
    }
    HRESULT STDMETHODCALLTYPE Resume(DWORD reserved) override {
        return sapi.Call("Resume", std::to_string(reserved));
    }
    HRESULT STDMETHODCALLTYPE SetNotifyWin32Event() override { return sapi.Call("SetNotifyWin32Event"); }
    HANDLE STDMETHODCALLTYPE GetNotifyEventHandle() override {
        sapi.Call("GetNotifyEventHandle");
        return kEventHandle;
    }
    HRESULT STDMETHODCALLTYPE SetInterest(ULONGLONG interest, ULONGLONG queued) override {
        return sapi.Call("SetInterest", Hex(interest) + " " + Hex(queued));
    }
    HRESULT STDMETHODCALLTYPE GetEvents(ULONG count, SPEVENT* events, ULONG* fetched) override {
        sapi.calls.push_back("GetEvents " + std::to_string(count) + (fetched == nullptr ? " none" : " some"));
        HRESULT answer = sapi.Answer("GetEvents");
        if (answer != S_OK) return answer;
        if (sapi.events.empty()) return S_FALSE;
        events[0] = sapi.events.front();
        sapi.events.pop_front();
        return S_OK;
    }
    FAKE_UNUSED(SetNotifySink(ISpNotifySink*))
    FAKE_UNUSED(SetNotifyWindowMessage(HWND, UINT, WPARAM, LPARAM))
    FAKE_UNUSED(SetNotifyCallbackFunction(SPNOTIFYCALLBACK*, WPARAM, LPARAM))
    FAKE_UNUSED(SetNotifyCallbackInterface(ISpNotifyCallback*, WPARAM, LPARAM))
    FAKE_UNUSED(WaitForNotifyEvent(DWORD))
    FAKE_UNUSED(GetInfo(SPEVENTSOURCEINFO*))
    FAKE_UNUSED(GetRecognizer(ISpRecognizer**))
    FAKE_UNUSED(GetStatus(SPRECOCONTEXTSTATUS*))
    FAKE_UNUSED(GetMaxAlternates(ULONG*))
    FAKE_UNUSED(SetMaxAlternates(ULONG))
    FAKE_UNUSED(SetAudioOptions(SPAUDIOOPTIONS, const GUID*, const WAVEFORMATEX*))
    FAKE_UNUSED(GetAudioOptions(SPAUDIOOPTIONS*, GUID*, WAVEFORMATEX**))
    FAKE_UNUSED(DeserializeResult(const SPSERIALIZEDRESULT*, ISpRecoResult**))
    FAKE_UNUSED(Bookmark(SPBOOKMARKOPTIONS, ULONGLONG, LPARAM))
    FAKE_UNUSED(SetAdaptationData(LPCWSTR, const ULONG))
    FAKE_UNUSED(SetVoice(ISpVoice*, WINBOOL))
    FAKE_UNUSED(GetVoice(ISpVoice**))
    FAKE_UNUSED(SetVoicePurgeEvent(ULONGLONG))
    FAKE_UNUSED(GetVoicePurgeEvent(ULONGLONG*))
    FAKE_UNUSED(SetContextState(SPCONTEXTSTATE))
    FAKE_UNUSED(GetContextState(SPCONTEXTSTATE*))
};

struct FakeRecognizer : FakeUnknown<ISpRecognizer> {
    using FakeUnknown::FakeUnknown;
    std::vector<std::unique_ptr<FakeContext>> contexts; // every context made, the newest last

    HRESULT STDMETHODCALLTYPE CreateRecoContext(ISpRecoContext** out) override {
        HRESULT hr = sapi.Call("CreateRecoContext");
        *out = nullptr;
        if (sapi.noContext) return hr;
        contexts.push_back(
            std::make_unique<FakeContext>(sapi, "context " + std::to_string(++sapi.contextsMade)));
        contexts.back()->AddRef();
        *out = contexts.back().get();
        return hr;
    }
    HRESULT STDMETHODCALLTYPE SetRecoState(SPRECOSTATE state) override {
        return sapi.Call("SetRecoState", std::to_string(state));
    }
    FAKE_UNUSED(SetPropertyNum(LPCWSTR, LONG))
    FAKE_UNUSED(GetPropertyNum(LPCWSTR, LONG*))
    FAKE_UNUSED(SetPropertyString(LPCWSTR, LPCWSTR))
    FAKE_UNUSED(GetPropertyString(LPCWSTR, LPWSTR*))
    FAKE_UNUSED(SetRecognizer(ISpObjectToken*))
    FAKE_UNUSED(GetRecognizer(ISpObjectToken**))
    FAKE_UNUSED(SetInput(IUnknown*, WINBOOL))
    FAKE_UNUSED(GetInputObjectToken(ISpObjectToken**))
    FAKE_UNUSED(GetInputStream(ISpStreamFormat**))
    FAKE_UNUSED(GetRecoProfile(ISpObjectToken**))
    FAKE_UNUSED(SetRecoProfile(ISpObjectToken*))
    FAKE_UNUSED(IsSharedInstance())
    FAKE_UNUSED(GetRecoState(SPRECOSTATE*))
    FAKE_UNUSED(GetStatus(SPRECOGNIZERSTATUS*))
    FAKE_UNUSED(GetFormat(SPSTREAMFORMATTYPE, GUID*, WAVEFORMATEX**))
    FAKE_UNUSED(IsUISupported(LPCWSTR, void*, ULONG, WINBOOL*))
    FAKE_UNUSED(DisplayUI(HWND, LPCWSTR, LPCWSTR, void*, ULONG))
    FAKE_UNUSED(EmulateRecognition(ISpPhrase*))
};

// A recognition result whose text is given; the phrase and the text are handed out in task memory.
struct FakeResult : FakeUnknown<ISpRecoResult> {
    FakeResult(FakeSapi& sapi, std::wstring text) : FakeUnknown(sapi, "result"), text(std::move(text)) {}
    std::wstring text;

    HRESULT STDMETHODCALLTYPE GetPhrase(SPPHRASE** out) override {
        *out = static_cast<SPPHRASE*>(CoTaskMemAlloc(sizeof(SPPHRASE)));
        **out = SPPHRASE{};
        return sapi.Call("GetPhrase");
    }
    HRESULT STDMETHODCALLTYPE GetText(ULONG start, ULONG count, WINBOOL replacements, LPWSTR* out,
                                      BYTE* attributes) override {
        HRESULT hr = sapi.Call("GetText", Hex(start) + " " + Hex(count) + " " + std::to_string(replacements) +
                                              (attributes == nullptr ? " none" : " some"));
        *out = nullptr;
        if (hr != S_OK) return hr;
        size_t bytes = (text.size() + 1) * sizeof(wchar_t);
        *out = static_cast<LPWSTR>(CoTaskMemAlloc(bytes));
        std::memcpy(*out, text.c_str(), bytes);
        return S_OK;
    }
    FAKE_UNUSED(GetSerializedPhrase(SPSERIALIZEDPHRASE**))
    FAKE_UNUSED(Discard(DWORD))
    FAKE_UNUSED(GetResultTimes(SPRECORESULTTIMES*))
    FAKE_UNUSED(GetAlternates(ULONG, ULONG, ULONG, ISpPhraseAlt**, ULONG*))
    FAKE_UNUSED(GetAudio(ULONG, ULONG, ISpStreamFormat**))
    FAKE_UNUSED(SpeakAudio(ULONG, ULONG, DWORD, ULONG*))
    FAKE_UNUSED(Serialize(SPSERIALIZEDRESULT**))
    FAKE_UNUSED(ScaleAudio(const GUID*, const WAVEFORMATEX*))
    FAKE_UNUSED(GetRecoContext(ISpRecoContext**))
};

#undef FAKE_UNUSED

// An event as the context queues it: the id, and the result object (one reference handed over) or none.
inline SPEVENT MakeEvent(SPEVENTENUM id, IUnknown* object) {
    SPEVENT event{};
    event.eEventId = id;
    if (object != nullptr) {
        object->AddRef();
        event.elParamType = SPET_LPARAM_IS_OBJECT;
        event.lParam = reinterpret_cast<LPARAM>(object);
    }
    return event;
}
