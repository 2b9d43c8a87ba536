// The phrase context: built-in phrases, registration of the phrases the systems files expect, and their
// normal form.
#include "speech/phrase_context.h"

#include "app/helpers.h"

#include <algorithm>
#include <cctype>

const char* const kBuiltInPhrases[kBuiltInPhraseCount] = {
    "hello", "how are you", "what is your name", "checked",         "confirmed",       "yes",
    "no",    "config",      "set",               "off",             "on",              "normal",
    "stop",  "abort",       "increase volume",   "decrease volume", "increase rate",   "decrease rate",
    "exit"};

namespace {
PhraseContextState BuiltInContext() {
    PhraseContextState state;
    state.phraseContext.assign(kBuiltInPhrases, kBuiltInPhrases + kBuiltInPhraseCount);
    return state;
}

bool IsWordByte(unsigned char c) {
    // Letters and digits of the code page, and the apostrophe inside words ("don't"). Bytes from 128 up are
    // the code page's own letters: they stay as they are.
    return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '\'' || c >= 128;
}

// Keeps words and single blanks between them; word separators become blanks; no blank at either end.
std::string FilterPhraseCharacters(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    bool pendingBlank = false;
    for (unsigned char c : text) {
        if (IsWordByte(c)) {
            if (pendingBlank && !out.empty()) out.push_back(' ');
            pendingBlank = false;
            out.push_back(static_cast<char>(c));
        } else if (c == ' ' || c == '-' || c == '_' || c == '/' || c == '\t') {
            pendingBlank = true;
        }
        // Any other punctuation vanishes without separating words.
    }
    return out;
}
} // namespace

PhraseContextState& PhraseContext() {
    static PhraseContextState state = BuiltInContext();
    return state;
}

void ResetPhraseContext() { PhraseContext() = BuiltInContext(); }

std::string NormalisePhrase(const std::string& text) {
    std::string phrase = CollapseSpaces(text);
    for (char& c : phrase) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return FilterPhraseCharacters(phrase);
}

PhraseRecord RegisterPhrase(const std::string& text) {
    PhraseRecord record{NormalisePhrase(text)};
    if (record.text.empty()) return record;
    std::vector<std::string>& context = PhraseContext().phraseContext;
    if (std::find(context.begin(), context.end(), record.text) == context.end()) context.push_back(record.text);
    return record;
}

int PhraseContextSize() { return static_cast<int>(PhraseContext().phraseContext.size()); }

void RebuildGrammar() {}
