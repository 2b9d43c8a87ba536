// The built-in recogniser's judgement of a value heard in a phrase with slots: the decoder's other
// hypotheses for the same sound are read as phrases of the grammar, and a value that another value comes
// close to, or that the best of them does not confirm, is not certain.
#include "platform/engines/recogniser_values.h"

#include "platform/engines/recogniser_parts.h"
#include "platform/phrase_slots.h"

#include <pocketsphinx.h>

#include <algorithm>
#include <cmath>

namespace {

// How many distinct alternatives of the decoder's lattice are read before it is taken that there is no
// other value close to the heard one.
constexpr int kAlternativesRead = 8;

// The words of a hypothesis without silences, fillers, garbage phones and the marks of alternative
// pronunciations ("zero(2)").
std::vector<std::string> SpokenWords(const std::string& hypothesis) {
    std::vector<std::string> words;
    for (std::string w : PhraseWords(hypothesis)) {
        if (w.empty() || w[0] == '<' || w[0] == '[' || w[0] == '+' || w.rfind("garbage_", 0) == 0) continue;
        const size_t mark = w.find('(');
        if (mark != std::string::npos) w.erase(mark);
        words.push_back(w);
    }
    return words;
}

// What a hypothesis says in the grammar: which phrase, and the values of its slots. Two sayings of the
// same value ("nine", "niner") read the same.
struct Reading {
    int phrase = -1; // index among the grammar's phrases; -1 when the words say none of them
    std::vector<double> values;
    bool operator==(const Reading& other) const { return phrase == other.phrase && values == other.values; }
};

struct Grammar {
    std::vector<std::string> fixed;      // phrases without slots, as words joined by single blanks
    std::vector<PhrasePattern> patterns; // the phrases with slots
};

Reading Read(const Grammar& g, const std::vector<std::string>& words) {
    Reading r;
    std::string joined;
    for (const std::string& w : words) {
        if (!joined.empty()) joined += ' ';
        joined += w;
    }
    for (size_t i = 0; i < g.fixed.size(); ++i) {
        if (g.fixed[i] == joined) {
            r.phrase = static_cast<int>(i);
            return r;
        }
    }
    for (size_t i = 0; i < g.patterns.size(); ++i) {
        std::vector<SlotValue> values;
        if (!MatchPhrasePattern(g.patterns[i], words, values)) continue;
        r.phrase = static_cast<int>(g.fixed.size() + i);
        for (const SlotValue& v : values) r.values.push_back(v.value);
        return r;
    }
    return r;
}

} // namespace

ValueCertainty JudgeValues(Decoders& d, const std::string& heard, int speechFrames, double leastMargin) {
    ValueCertainty c;
    if (!d.grammar) return c;
    Grammar g;
    for (const std::string& phrase : d.phrases) {
        if (HasSlotNotation(phrase))
            g.patterns.push_back(ParsePhrasePattern(phrase));
        else
            g.fixed.push_back(phrase);
    }
    const Reading heardReading = Read(g, SpokenWords(heard));
    c.hasSlots = heardReading.phrase >= static_cast<int>(g.fixed.size());
    if (!c.hasSlots) return c;

    // The lattice's alternatives, best first; those that say no phrase of the grammar are passed over.
    bool haveFirst = false;
    int32 firstScore = 0;
    std::vector<std::string> seen;
    int read = 0;
    ps_nbest_t* nbest = ps_nbest(d.grammar);
    for (; nbest && read < kAlternativesRead; nbest = ps_nbest_next(nbest)) {
        int32 score = 0;
        const char* text = ps_nbest_hyp(nbest, &score);
        if (!text) continue;
        const std::vector<std::string> words = SpokenWords(text);
        std::string key;
        for (const std::string& w : words) key += w + " ";
        if (std::find(seen.begin(), seen.end(), key) != seen.end()) continue;
        seen.push_back(key);
        ++read;
        const Reading reading = Read(g, words);
        if (reading.phrase < 0) continue;
        if (!haveFirst) {
            haveFirst = true;
            firstScore = score;
            c.agrees = reading == heardReading;
            if (!c.agrees) {
                c.runnerUp = text;
                break;
            }
            continue;
        }
        if (reading == heardReading) continue;
        c.margin = double(firstScore - score) / std::max(1, speechFrames);
        c.runnerUp = text;
        break;
    }
    if (nbest) ps_nbest_free(nbest);
    c.certain = c.agrees && c.margin >= leastMargin;
    return c;
}
