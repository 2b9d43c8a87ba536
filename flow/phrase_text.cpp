// Filling in the markers of a spoken line.
#include "flow/phrase_text.h"

#include "base/helpers.h"
#include "base/settings.h"
#include "systems/logic.h"
#include "systems/model.h"

#include <cmath>
#include <cstdio>

PhraseTextState& PhraseText() {
    static PhraseTextState state;
    return state;
}

void ResetPhraseText() {
    PhraseText() = PhraseTextState{};
}

std::string SpokenRunway(const std::string& runway) {
    if (runway.size() <= 1) return runway;
    switch (runway.back()) {
    case 'L':
        return ReplaceFirst(runway, "L", " LEFT");
    case 'R':
        return ReplaceFirst(runway, "R", " RIGHT");
    case 'C':
        return ReplaceFirst(runway, "C", " CENTER");
    default:
        return runway;
    }
}

std::string TruncatedValueText(double value) {
    if (!std::isfinite(value)) return "0";
    double whole = std::trunc(value);
    if (whole == 0) return "0"; // also for -0.5, which must not come out as "-0"
    char buffer[400];
    std::snprintf(buffer, sizeof buffer, "%.0f", whole);
    return buffer;
}

namespace {
// The value of one "<...>" marker's inner text.
std::string MarkerValue(const std::string& inner) {
    bool spelled = !inner.empty() && inner[0] == '&';
    std::string name = ReplaceFirst(inner, "&", "");
    ParamRef ref = ResolveParamRef(-1, -1, -1, name);
    // A slot is read back as it was said, digit by digit ("0 9 0 " for a heading of 90).
    if (ref.kind == kRefSlot && spelled && !Systems().heardSlots.spelled[ref.parameter].empty())
        return Systems().heardSlots.spelled[ref.parameter];
    if (ref.kind != kRefParameter && ref.kind != kRefSlot) return "UNKNOWN";
    std::string digits = TruncatedValueText(GetParamValue(ref));
    if (!spelled) return digits;
    std::string out;
    for (char c : digits) {
        out.push_back(c);
        out.push_back(' ');
    }
    return out;
}
} // namespace

std::string FormatPhrase(std::string text) {
    const SettingsState& settings = Settings();
    const PhraseTextState& phrase = PhraseText();
    if (text.find("[TVO]") != std::string::npos) text = ReplaceFirst(text, "[TVO]", settings.officerName);
    if (text.find("[CAP]") != std::string::npos) text = ReplaceFirst(text, "[CAP]", settings.captainName);
    if (text.find("[TORW]") != std::string::npos)
        text = ReplaceFirst(text, "[TORW]", SpokenRunway(phrase.takeoffRunway));
    if (text.find("[LDRW]") != std::string::npos)
        text = ReplaceFirst(text, "[LDRW]", SpokenRunway(phrase.landingRunway));
    for (;;) {
        size_t open = text.find('<');
        if (open == std::string::npos) break;
        // A stray ">" before the first "<" is text, not the end of a marker: the marker ends at the first
        // ">" after its "<". Every replacement removes one "<" and one ">", so the loop ends.
        size_t close = text.find('>', open + 1);
        if (close == std::string::npos) break;
        std::string inner = text.substr(open + 1, close - open - 1);
        text.replace(open, close - open + 1, MarkerValue(inner));
    }
    return text;
}
