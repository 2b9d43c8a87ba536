// The phrase context: built-in phrases, registration of the phrases the systems files expect, and their
// normal form.
#include "systems/phrase_context.h"

#include "base/helpers.h"
#include "platform/phrase_slots.h"

#include <algorithm>
#include <cctype>

const char* const kBuiltInPhrases[kBuiltInPhraseCount] = {"hello",
                                                          "how are you",
                                                          "what is your name",
                                                          "checked",
                                                          "confirmed",
                                                          "yes",
                                                          "no",
                                                          "config",
                                                          "set",
                                                          "off",
                                                          "on",
                                                          "normal",
                                                          "stop",
                                                          "abort",
                                                          "increase volume",
                                                          "decrease volume",
                                                          "increase rate",
                                                          "decrease rate",
                                                          "exit"};

namespace {
PhraseContextState BuiltInContext() {
    PhraseContextState state;
    state.phraseContext.assign(kBuiltInPhrases, kBuiltInPhrases + kBuiltInPhraseCount);
    return state;
}

// Letters and digits, and the code page's own letters from byte 128 up, which stay as they are.
bool IsWordByte(unsigned char c) {
    return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c >= 128;
}

bool IsWordSeparator(unsigned char c) {
    return c == ' ' || c == '\t' || c == '-' || c == '_' || c == '/';
}

// Keeps words and single blanks between them; "-", "_" and "/" separate words like a blank; an apostrophe
// stays only inside a word ("don't"); other punctuation vanishes; no blank at either end.
std::string FilterPhraseCharacters(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    bool pendingBlank = false;
    for (size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (IsWordByte(c)) {
            if (pendingBlank && !out.empty()) out.push_back(' ');
            pendingBlank = false;
            out.push_back(static_cast<char>(c));
        } else if (IsWordSeparator(c)) {
            pendingBlank = true;
        } else if (c == '\'' && !pendingBlank && !out.empty() && out.back() != '\'' && i + 1 < text.size() &&
                   IsWordByte(static_cast<unsigned char>(text[i + 1]))) {
            out.push_back('\'');
        }
    }
    return out;
}
} // namespace

PhraseContextState& PhraseContext() {
    static PhraseContextState state = BuiltInContext();
    return state;
}

void ResetPhraseContext() {
    PhraseContext() = BuiltInContext();
}

std::string NormalisePhrase(const std::string& text) {
    std::string phrase = CollapseSpaces(text);
    for (char& c : phrase) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return FilterPhraseCharacters(phrase);
}

std::string NormaliseSlotPhrase(const std::string& text, std::string& error) {
    const PhrasePattern pattern = ParsePhrasePattern(text);
    if (!pattern.error.empty()) {
        error = pattern.error;
        return std::string();
    }
    std::string out;
    auto append = [&out](const std::string& part) {
        if (part.empty()) return;
        if (!out.empty()) out.push_back(' ');
        out += part;
    };
    size_t slot = 0;
    size_t at = 0;
    while (at < text.size()) {
        const size_t open = text.find('{', at);
        append(NormalisePhrase(text.substr(at, open == std::string::npos ? std::string::npos : open - at)));
        if (open == std::string::npos) break;
        append(SlotSpecText(pattern.slots[slot++]));
        at = text.find('}', open) + 1;
    }
    return out;
}

PhraseRecord RegisterPhrase(const std::string& text) {
    PhraseRecord record;
    if (HasSlotNotation(text)) {
        record.hasSlots = true;
        record.text = NormaliseSlotPhrase(text, record.slotError);
    } else {
        record.text = NormalisePhrase(text);
    }
    if (record.text.empty()) return record;
    std::vector<std::string>& context = PhraseContext().phraseContext;
    if (std::find(context.begin(), context.end(), record.text) == context.end())
        context.push_back(record.text);
    return record;
}

int PhraseContextSize() {
    return static_cast<int>(PhraseContext().phraseContext.size());
}
