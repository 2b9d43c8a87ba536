// Windows' own speech recogniser: the SAPI 5 shared recogniser with one context and one command grammar,
// deaf until push-to-talk, its recognition events polled one at a time.
#include "platform/win32/sapi_speech.h"

#include "platform/win32/sapi_support.h"
#include "platform/phrase_slots.h"

static_assert(kRecognitionInterest == (SPFEI(SPEI_RECOGNITION) | SPFEI(SPEI_FALSE_RECOGNITION)));

namespace {

void TraceStep(const char* step) {
    SapiRecogniser().failedStep = step;
    if (TraceSink trace = SapiRecogniser().trace)
        trace(std::string("Recognize Engine Initialisation ERROR: ") + step);
}

bool Step(HRESULT hr, const char* step) {
    if (CheckHresult(hr, SapiRecogniser().trace)) return true;
    TraceStep(step);
    return false;
}

// Windows answers at once for a class that is not registered; wine first waits seconds for a local server
// that never comes. Asking the registry first gives both the same quick answer.
bool ClassRegistered(REFCLSID id) {
    wchar_t text[64];
    if (StringFromGUID2(id, text, 64) == 0) return true;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, (std::wstring(L"CLSID\\") + text).c_str(), 0, KEY_READ, &key) !=
        ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

// The shared recogniser's grammar holds whole phrases only: a phrase with slots ("set heading
// {digits 3}") is left out, and the log names every one left out in one line.
std::vector<std::string> PhrasesWithoutSlots(const std::vector<std::string>& phrases, TraceSink log) {
    std::vector<std::string> kept;
    std::string leftOut;
    for (const std::string& phrase : phrases) {
        if (!HasSlotNotation(phrase)) {
            kept.push_back(phrase);
            continue;
        }
        if (!leftOut.empty()) leftOut += ", ";
        leftOut += phrase;
    }
    if (!leftOut.empty() && log)
        log("Recognition: Windows' shared recogniser cannot hear values; phrases with slots left out: " +
            leftOut);
    return kept;
}

template <typename Interface> void ReleaseInto(Interface*& held, Interface* replacement) {
    if (held != nullptr) held->Release();
    held = replacement;
}

} // namespace

SapiRecognition& SapiRecogniser() {
    static SapiRecognition state;
    return state;
}

ISpRecoGrammar* InitGrammar(ISpRecoContext* context, const std::vector<std::string>& phrases,
                            TraceSink trace) {
    ISpRecoGrammar* grammar = nullptr;
    CheckHresult(context->CreateGrammar(0, &grammar), trace);
    if (grammar == nullptr) return nullptr;
    CheckHresult(grammar->ResetGrammar(kGrammarLanguage), trace);
    SPSTATEHANDLE initial = nullptr;
    CheckHresult(grammar->GetRule(kRuleName, 0, SPRAF_TopLevel | SPRAF_Active, TRUE, &initial), trace);
    for (const std::string& phrase : phrases) {
        std::wstring wide = WidenBytes(phrase);
        CheckHresult(
            grammar->AddWordTransition(initial, nullptr, wide.c_str(), L" ", SPWT_LEXICAL, 1.0f, nullptr),
            trace);
    }
    CheckHresult(grammar->Commit(0), trace);
    return grammar;
}

bool BuildRecognition(const std::vector<std::string>& phrases, bool reportMissingContext) {
    SapiRecognition& r = SapiRecogniser();
    if (r.recognizer == nullptr) return false;
    ISpRecoContext* context = nullptr;
    HRESULT hr = r.recognizer->CreateRecoContext(&context);
    if (context == nullptr) {
        if (reportMissingContext) Step(hr == S_OK ? E_POINTER : hr, "CreateRecoContext");
        return false;
    }
    ReleaseInto(r.grammar, static_cast<ISpRecoGrammar*>(nullptr));
    ReleaseInto(r.context, context);
    if (!Step(hr, "CreateRecoContext")) return false;
    if (!Step(context->Pause(0), "Pause(0)")) return false;
    r.grammar = InitGrammar(context, PhrasesWithoutSlots(phrases, r.log), r.trace);
    if (!Step(context->SetNotifyWin32Event(), "init_grammar")) return false;
    context->GetNotifyEventHandle();
    if (!Step(context->SetInterest(kRecognitionInterest, kRecognitionInterest), "SetInterest")) return false;
    if (!Step(r.grammar != nullptr ? r.grammar->SetRuleState(kRuleName, nullptr, SPRS_ACTIVE) : E_POINTER,
              "SetRuleState"))
        return false;
    if (!Step(context->Resume(0), "Resume(0)")) return false;
    return Step(r.recognizer->SetRecoState(SPRST_INACTIVE_WITH_PURGE), "SetRecoState");
}

bool StartRecognitionWith(ISpRecognizer* recognizer, const std::vector<std::string>& phrases,
                          TraceSink trace) {
    SapiRecognition& r = SapiRecogniser();
    r.trace = trace;
    ReleaseInto(r.recognizer, recognizer);
    return BuildRecognition(phrases, false);
}

std::string GetRecoResult(ISpRecoContext* context) {
    SPEVENT event{};
    std::string text = "non";
    if (context->GetEvents(1, &event, nullptr) == S_OK && event.eEventId == SPEI_RECOGNITION &&
        event.elParamType == SPET_LPARAM_IS_OBJECT && event.lParam != 0) {
        auto* result = reinterpret_cast<ISpRecoResult*>(event.lParam);
        SPPHRASE* phrase = nullptr;
        result->GetPhrase(&phrase);
        wchar_t* words = nullptr;
        if (result->GetText(SP_GETWHOLEPHRASE, SP_GETWHOLEPHRASE, FALSE, &words, nullptr) == S_OK &&
            words != nullptr)
            text = NarrowLowBytes(words);
        CoTaskMemFree(words);
        CoTaskMemFree(phrase);
    }
    ClearEvent(event);
    return text;
}

void CloseSapiRecognition() {
    SapiRecognition& r = SapiRecogniser();
    ReleaseInto(r.grammar, static_cast<ISpRecoGrammar*>(nullptr));
    ReleaseInto(r.context, static_cast<ISpRecoContext*>(nullptr));
    ReleaseInto(r.recognizer, static_cast<ISpRecognizer*>(nullptr));
    if (r.comStarted) CoUninitialize();
    r.comStarted = false;
}

bool StartSapiRecogniser(const RecogniserSetup& setup) {
    CloseSapiRecognition();
    SapiRecognition& r = SapiRecogniser();
    r.trace = setup.trace;
    r.log = setup.log;
    r.failedStep.clear();
    if (FAILED(CoInitialize(nullptr))) {
        r.failedStep = "CoInitialize";
        return false;
    }
    r.comStarted = true;
    ISpRecognizer* recognizer = nullptr;
    HRESULT hr = REGDB_E_CLASSNOTREG;
    if (ClassRegistered(CLSID_SpSharedRecognizer))
        hr = CoCreateInstance(CLSID_SpSharedRecognizer, nullptr, CLSCTX_ALL, IID_ISpRecognizer,
                              reinterpret_cast<void**>(&recognizer));
    if (!Step(hr, "CoCreateInstance")) {
        if (recognizer != nullptr) recognizer->Release();
        return false;
    }
    return StartRecognitionWith(recognizer, setup.phrases, setup.trace);
}

bool SetSapiGrammar(const std::vector<std::string>& phrases) {
    return BuildRecognition(phrases, true);
}

void SetSapiListening(bool active) {
    if (ISpRecognizer* recognizer = SapiRecogniser().recognizer)
        recognizer->SetRecoState(active ? SPRST_ACTIVE : SPRST_INACTIVE_WITH_PURGE);
}

std::string NextSapiResult() {
    ISpRecoContext* context = SapiRecogniser().context;
    return context != nullptr ? GetRecoResult(context) : "non";
}

void CloseSapiRecogniser() {
    CloseSapiRecognition();
}
