// What the Windows speech bodies share over SAPI 5: the HRESULT check with its trace texts, byte-wise
// text conversion, token enumeration and descriptions, event clearing, and the recogniser's state and
// sequences on SAPI objects handed in (so the Windows tests can drive them with objects of their own).
#pragma once
#include <windows.h>
// after windows.h, which it needs
#include <sapi.h>

#include <cstdint>
#include <string>
#include <vector>

using TraceSink = void (*)(const std::string& line);

// True when the value is exactly S_OK; otherwise "Error HRESULT = " and the value's text go to `trace`
// (when there is one) and the answer is false.
bool CheckHresult(HRESULT hr, TraceSink trace);

// Byte by byte: each 8-bit unit becomes one UTF-16 unit, and back by keeping the low 8 bits.
std::wstring WidenBytes(const std::string& text);
std::string NarrowLowBytes(const wchar_t* text);

// The tokens of a category (SPCAT_VOICES, SPCAT_AUDIOOUT...), in the category's own order; null when the
// category cannot be opened. The caller releases.
IEnumSpObjectTokens* EnumerateCategoryTokens(const wchar_t* categoryId);
// The category's default token; null when there is none. The caller releases.
ISpObjectToken* DefaultCategoryToken(const wchar_t* categoryId);
// The token's description in `language`: its value named by the language number in hexadecimal, else
// its default value. Where the token itself cannot read values (wine 8 answers E_NOTIMPL), the values
// are read through a data key opened on the token's own key. False when neither way gives one.
bool ReadTokenDescription(ISpObjectToken* token, LANGID language, std::wstring& description);

// Frees what an event's parameter holds (a pointer or string freed, a token or object released) and
// empties the event.
void ClearEvent(SPEVENT& event);

// Both recognition events and SAPI's two flag-check bits, as event interest and queued interest.
constexpr ULONGLONG kRecognitionInterest = 0x0000084240000000ull;
constexpr WORD kGrammarLanguage = 0x0809;
inline constexpr wchar_t kRuleName[] = L"ruleName1";

// The recogniser's process-wide state: the shared recogniser, its context and grammar, where traces go.
struct SapiRecognition {
    ISpRecognizer* recognizer = nullptr;
    ISpRecoContext* context = nullptr;
    ISpRecoGrammar* grammar = nullptr;
    bool comStarted = false;
    TraceSink trace = nullptr;
    TraceSink log = nullptr; // lines for the run log
    std::string failedStep;  // the step of the last start that failed, for the log's word on the choice
};
SapiRecognition& SapiRecogniser();

// The start-up sequence on a recogniser already created (one reference handed over): a context, the
// grammar from these phrases, interest, rule state, resume, and the recogniser left deaf. False at the
// first step that fails, with the step's name traced.
bool StartRecognitionWith(ISpRecognizer* recognizer, const std::vector<std::string>& phrases,
                          TraceSink trace);
// A new context and grammar on the existing recogniser, replacing the previous ones. `reportMissingContext`
// traces a context that was not made (the grammar rebuild does, the first start does not).
bool BuildRecognition(const std::vector<std::string>& phrases, bool reportMissingContext);
// The grammar on the current context: one rule whose alternatives are the phrases. Each call's result is
// checked and traced but does not stop the building; null when no grammar could be made.
ISpRecoGrammar* InitGrammar(ISpRecoContext* context, const std::vector<std::string>& phrases,
                            TraceSink trace);
// At most one queued event: the recognised text, or "non" for no event, a false recognition or an error.
std::string GetRecoResult(ISpRecoContext* context);
// Releases the grammar, the context and the recogniser, in that order, and ends COM if the start began it.
void CloseSapiRecognition();
