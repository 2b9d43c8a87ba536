// Values heard in the captain's phrases, as the built-in recogniser decides on them: a phrase with slots is
// taken only when the decoder is sure of the value in it, since a wrong heading acted on is worse than one
// asked for again.
#pragma once
#include <string>
#include <vector>

struct Decoders;

// The least margin, in the lattice's score per 10 ms frame of words, by which the value heard must beat
// the best other value of the grammar's phrases that the decoder also found for the same sound. Set by
// measurement on spoken values (a set drawn apart from the benchmark's) in quiet and in cockpit noise:
// the lattice's second opinion alone (margin 0) took wrong values from 13 % to 4 % and right ones from
// 87 % to 77 % in quiet; every further unit of margin costs some 6 % of right values for about 1 % of
// wrong ones.
inline constexpr double kValueMargin = 0.5;

// What the decoder found for the utterance just ended, beside the phrase it heard: the margin of the heard
// value over the next best other value (a large number when no other was found), and whether the best
// saying of any phrase it found is the phrase heard at all.
struct ValueCertainty {
    bool hasSlots = false; // the phrase heard holds slots; nothing below applies otherwise
    bool agrees = true;    // the best of the alternatives that say a phrase is the phrase heard
    double margin = 1e9;   // per frame of words
    std::string runnerUp;  // the best other value's words, when there is one
    bool certain = true;   // agrees, and the margin is at least the least margin
};

// After EndUtterance with a verdict: how sure the decoder is of the value in `heard` (a phrase of the
// grammar as loaded), judged over its `speechFrames` frames of words.
ValueCertainty JudgeValues(Decoders& d, const std::string& heard, int speechFrames,
                           double leastMargin = kValueMargin);
