// Values heard in the captain's phrases, as the built-in recogniser decides on them: a phrase with slots is
// taken only when the decoder is sure of the value in it, since a wrong heading acted on is worse than one
// asked for again.
#pragma once
#include "platform/phrase_slots.h"

#include <string>
#include <vector>

struct Decoders;

// A value heard is taken when three opinions agree on it:
// - the decoder's lattice: its best alternative that says a phrase says the phrase heard, and the best
//   other value lies at least kLatticeMargin behind it, in the lattice's score per 10 ms frame of words;
// - the utterance decoded again through the phrase's own graph with the cepstral mean of the utterance
//   itself (the live decoding normalises with the mean it carried over from the sounds before, another
//   speaker's or another noise's): it must say the same;
// - the same decoding through every other saying of the phrase: its best must lie at least kValueMargin
//   behind, in path score.
// Both margins were set on the recognition benchmark's tuning set of spoken values (its speakers and values,
// never those it reports on), in quiet and in cockpit noise.
inline constexpr double kLatticeMargin = 0.5;
inline constexpr double kValueMargin = 150;

// What the three opinions found for the utterance just ended.
struct ValueCertainty {
    bool hasSlots = false;      // the phrase heard holds slots; nothing below applies otherwise
    bool latticeAgrees = true;  // the lattice's best phrase is the phrase heard
    double latticeMargin = 1e9; // per frame of words, over its best other value
    std::string latticeRival;   // that value's words
    std::string heardAgain;     // the words of the phrase decoded again through its own graph
    bool agrees = true;         // they say the same as the words heard
    double margin = 1e9;        // by how much they beat the best other saying of the phrase, in path score
    std::string rival;          // that saying, when the decoder found one
    bool certain = true;        // all three agree, each by its margin
};

// After EndUtterance with a verdict: how sure the decoder is of the value in `heard` (a phrase of the
// grammar as loaded, whose words take `speechFrames` frames). For a phrase with slots, decodes the
// utterance twice more, through small graphs of that phrase alone.
ValueCertainty JudgeValues(Decoders& d, const std::string& heard, int speechFrames,
                           double leastMargin = kValueMargin);

// No path through a graph reached its end.
inline constexpr int kNoPath = -2147483647;

// A phrase's words as a graph, as the grammar lays it: state 0 where it begins, 1 where it ends, each slot's
// sub-graph between the words around it.
SlotGraph PhraseGraphOf(const PhrasePattern& pattern);
// Every saying of the phrase other than `heard` (its words as heard): another value, or the same words with
// one more or one fewer; words that say the same ("nine" and "niner", "oh" and "zero", "point" and
// "decimal") are the same saying. The graph begins at state 0 and ends at its last state.
SlotGraph ValueRivals(const PhrasePattern& pattern, const std::vector<std::string>& heard);
