// Values heard in the captain's phrases, as the built-in recogniser decides on them: a phrase with slots is
// taken only when the decoder is sure of the value in it, since a wrong heading acted on is worse than one
// asked for again.
#pragma once
#include "platform/phrase_slots.h"

#include <string>
#include <vector>

struct Decoders;

// A value heard is taken when two more decodings are sure of it:
// - the utterance decoded again through the phrase's own graph with the cepstral mean of the utterance
//   itself (the live decoding normalises with the mean it carried over from the sounds before, another
//   speaker's or another noise's); where its values differ from the live decoding's, its own are the ones
//   taken (of the tuning set's 29 such utterances in quiet, it was right in 17 and the live one in 6);
// - the same decoding through every saying of the phrase with other values: its best must lie at least
//   kValueMargin behind, in path score. Sayings of the same values in other words ("four thousand feet"
//   for "four thousand", "one two one decimal six zero" for "... decimal six") are no rivals.
// The margin was set on the recognition benchmark's tuning set of spoken values (its speakers and values,
// never those it reports on), in quiet and in cockpit noise: at 300 it took a wrong value for 1 of 200
// utterances in quiet and 6 of 200 in noise, where 150 took 4 and 18. The decoder's lattice as a third
// opinion (its best other value some way behind) beside a margin of 150 took 3 and 11, and fewer right
// values than 300 alone, and took seconds to read on a noisy utterance: it is not asked.
inline constexpr double kValueMargin = 300;

// What the two decodings found for the utterance just ended.
struct ValueCertainty {
    bool hasSlots = false;  // the phrase heard holds slots; nothing below applies otherwise
    std::string heardAgain; // the words of the phrase decoded again through its own graph
    bool agrees = true;     // they give the values of the words heard
    double margin = 1e9;    // by how much they beat the best other saying of the phrase, in path score
    std::string rival;      // that saying, when the decoder found one
    bool certain = true;    // sure of the value, by the margin
    std::string phrase;     // the phrase to take when certain: the words heard, or where the decoding
                            // again gave other values, its words
};

// After EndUtterance with a verdict: how sure the decoder is of the value in `heard` (a phrase of the
// grammar as loaded). For a phrase with slots, decodes the
// utterance twice more, through small graphs of that phrase alone.
ValueCertainty JudgeValues(Decoders& d, const std::string& heard, double leastMargin = kValueMargin);
struct UtteranceVerdict;
// The verdict on an accepted utterance with the check applied: refused when unsure of its values, the
// phrase with the values the check is sure of otherwise.
void TakeValues(Decoders& d, UtteranceVerdict& verdict);

// No path through a graph reached its end.
inline constexpr int kNoPath = -2147483647;

// A phrase's words as a graph, as the grammar lays it: state 0 where it begins, 1 where it ends, each slot's
// sub-graph between the words around it.
SlotGraph PhraseGraphOf(const PhrasePattern& pattern);
// Every saying of the phrase other than `sayings` (each its words as heard): another value, or the same
// words with one more or one fewer; words that say the same ("nine" and "niner", "oh" and "zero", "point"
// and "decimal") are the same saying. The graph begins at state 0 and ends at its last state.
SlotGraph ValueRivals(const PhrasePattern& pattern, const std::vector<std::vector<std::string>>& sayings);
// The sayings of the value heard in other words that the check looks past for a rival of another value.
inline constexpr int kMostSameValueRivals = 4;
