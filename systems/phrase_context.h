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
    std::string text; // the normal form; empty when nothing sayable was left
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
// Brings the text into its normal form and appends it to the phrase context unless already there.
PhraseRecord RegisterPhrase(const std::string& text);
int PhraseContextSize();
