// Spoken lines with markers: the crew's names, the runways of the day and live parameter values are
// filled in at the moment of speaking.
#pragma once
#include <string>

// The runways of the day, set together from the module's runway message; empty until then.
struct PhraseTextState {
    std::string takeoffRunway;
    std::string landingRunway;
};
PhraseTextState& PhraseText();
void ResetPhraseText();

// The line with its markers replaced: the first "[TVO]", "[CAP]", "[TORW]" and "[LDRW]", then every
// "<name>" (value as an integer) and "<&name>" (the same, each character followed by a blank).
std::string FormatPhrase(std::string text);
// A runway as spoken: a last letter L, R or C becomes " LEFT", " RIGHT" or " CENTER" (27L -> 27 LEFT).
std::string SpokenRunway(const std::string& runway);
// A parameter value as flows and phrases write it: truncated toward zero, in decimal ("0" for a value
// that is not a finite number).
std::string TruncatedValueText(double value);
