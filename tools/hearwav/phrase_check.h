// The phrase check: every phrase of a grammar spoken in three of the synthesiser's voices, plain and in
// cockpit noise, and heard by the program's own recogniser against the whole grammar, so that an author
// sees which phrases the first officer would take for others, or not take at all.
#pragma once
#include <string>
#include <vector>

// One utterance that did not come back as the phrase said.
struct PhraseCheckMiss {
    std::string phrase;    // what was said
    std::string heard;     // the phrase heard instead, or "non" when it was refused
    std::string voice;     // the voice's name
    std::string condition; // "plain" or "pink noise 10 dB"
};

struct PhraseCheckResult {
    std::vector<std::string> voices;  // the voices spoken in
    int grammar = 0;                  // phrases in the grammar
    int phrases = 0;                  // sayings spoken: each phrase but "any" (the wildcard) once, and
                                      // each phrase with slots once per example saying
    std::vector<std::string> skipped; // phrases whose slots cannot be read, which have no text to speak
    int utterances = 0;
    int heardAsSaid = 0;
    std::vector<PhraseCheckMiss> misses;
    bool Clean() const { return utterances > 0 && misses.empty(); }
};

// The phrases of a list file, one per line, each in the normal form a profile's phrase condition gets
// (a phrase with slots keeps them); blank lines and repeats drop out. A line whose slot cannot be read is
// left out, and "line N: why" added to `problems`.
std::vector<std::string> ReadPhraseList(const std::string& path, std::vector<std::string>& problems);
// The texts a phrase is checked with: the phrase itself; for a phrase with slots, the phrase with each
// slot said with an example value ("set heading two seven zero", "com one one two one decimal five"), once
// for each choice of its longest list ("flaps up", "flaps five", ...). Empty when its slots cannot be read.
std::vector<std::string> ExampleSayings(const std::string& phrase);
// What hearwav prints for one file: the phrase heard, or "non"; a phrase heard through a phrase of the
// grammar with slots is followed by that phrase and the values read from it, as the profile's logic gets
// them ("squawk one two zero zero  (squawk {digits 4}: 1200)").
std::string DescribeHeard(const std::vector<std::string>& grammar, const std::string& heard);
// Speaks each phrase of `grammar` (the whole phrase context) and hears it against the whole grammar.
PhraseCheckResult CheckPhrases(const std::vector<std::string>& grammar);
// The result as lines: each miss with the pair's words side by side, then the count.
std::vector<std::string> DescribePhraseCheck(const PhraseCheckResult& result);
