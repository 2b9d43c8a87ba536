// The phrase context: every phrase the pilot may say to the first officer, in the normal form the
// recogniser's grammar is built from. It starts with the built-in phrases; the logic compiler registers the
// texts of phrase conditions.
#pragma once
#include <string>
#include <vector>

inline constexpr int kBuiltInPhraseCount = 19;
extern const char* const kBuiltInPhrases[kBuiltInPhraseCount];

// What registration hands back to the logic compiler, kept with the phrase condition.
struct PhraseRecord {
    std::string text;      // the normal form; empty when nothing sayable was left
    bool hasSlots = false; // the text holds slots ("{digits 3}", see phrase_slots.h)
    std::string slotError; // why its slots cannot be read; the phrase is then not registered
};

struct PhraseContextState {
    std::vector<std::string> phraseContext; // no duplicates; built-ins first, then in registration order
};
PhraseContextState& PhraseContext();
// Back to the built-in phrases only.
void ResetPhraseContext();

// The normal form: runs of blanks made single, lower case, then only words of letters, digits and
// apostrophes separated by single blanks ("-", "_" and "/" separate words; other punctuation goes).
std::string NormalisePhrase(const std::string& text);
// The normal form of a phrase with slots: the words around the slots as NormalisePhrase leaves them, each
// slot in its own normal form ("Set Heading, { Digits 3 }" gives "set heading {digits 3}"); empty, with
// the reason in `error`, when a slot cannot be read.
std::string NormaliseSlotPhrase(const std::string& text, std::string& error);
// Brings the text into its normal form and appends it to the phrase context unless already there.
PhraseRecord RegisterPhrase(const std::string& text);
int PhraseContextSize();
