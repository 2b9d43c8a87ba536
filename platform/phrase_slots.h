// Slots in the captain's phrases: a value said inside a phrase ("set heading {digits 3}"), written in
// braces, which no fixed phrase can hold. The notation, the words each kind of slot may be said with (the
// recogniser's sub-graph of a slot) and the value read back out of the words heard. Portable text code,
// shared by the phrase context, the logic and the built-in recogniser.
#pragma once
#include <string>
#include <vector>

enum class SlotKind {
    Digits,    // "{digits N}": N digits said one by one (zero/oh, one..nine/niner)
    Number,    // "{number}": a number as pilots say it (digits, thousand/hundred, flight level)
    Frequency, // "{frequency}": three digits, "decimal" or "point", one to three digits
    Letter,    // "{letter}": the phonetic alphabet, its letter's place (alpha 1 .. zulu 26)
    List,      // "{one|five|up=0}": one of the choices written in the braces
};

// One choice of a list slot: its words and the value it stands for.
struct SlotChoice {
    std::vector<std::string> words;
    double value = 0;
    bool valueWritten = false; // "words=value" in the file (otherwise the value was worked out)
};

struct SlotSpec {
    SlotKind kind = SlotKind::Digits;
    int digits = 0;                  // Digits: how many
    std::vector<SlotChoice> choices; // List
};

// A phrase cut into words and slots: each element is a word, or (slot >= 0) the slot of that index.
struct PhraseElement {
    std::string word;
    int slot = -1;
};
struct PhrasePattern {
    std::string text; // the phrase as it was read
    std::vector<PhraseElement> elements;
    std::vector<SlotSpec> slots;
    std::string error; // why the phrase's slots cannot be read; empty when they can
};

// A value as heard: the number, and the words that said it as they are read back, digit by digit and
// separated by single blanks ("0 9 0", "1 2 1 decimal 5", "flight level 3 5 0", "bravo").
struct SlotValue {
    double value = 0;
    std::string spelled;
};

// The most slots one phrase may hold.
inline constexpr int kMaxSlotsPerPhrase = 8;

// True when the text holds the slot notation (a brace of either kind).
bool HasSlotNotation(const std::string& text);
// Reads the text between a slot's braces (blanks around it and case do not matter); false with the
// reason in `error` when it is not a slot.
bool ParseSlotSpec(const std::string& inner, SlotSpec& spec, std::string& error);
// The slot in its normal form, braces included: "{digits 3}", "{number}", "{one|five|up=0}".
std::string SlotSpecText(const SlotSpec& spec);
// Cuts a phrase into words and slots; words are separated by blanks, a slot stands in braces.
PhrasePattern ParsePhrasePattern(const std::string& text);
// The phrase as the widget shows it: every slot as "___".
std::string PhraseTemplate(const std::string& text);

// The words heard for one slot, read as its value; false when they are not a way of saying it.
bool DecodeSlot(const SlotSpec& spec, const std::vector<std::string>& words, SlotValue& value);
// The words of a heard phrase against a pattern: true when the words are the pattern's words with each
// slot said in one of its ways, and then `values` holds one value per slot in order.
bool MatchPhrasePattern(const PhrasePattern& pattern, const std::vector<std::string>& words,
                        std::vector<SlotValue>& values);
// The words of a text, split at blanks.
std::vector<std::string> PhraseWords(const std::string& text);

// A slot's words as a finite-state graph: state 0 is where the slot begins, state 1 where it ends; arcs
// carry one word each, empty arcs (`nulls`) none.
struct SlotArc {
    int from = 0;
    int to = 0;
    std::string word;
};
struct SlotGraph {
    int stateCount = 2;
    std::vector<SlotArc> arcs;
    std::vector<std::pair<int, int>> nulls;
};
SlotGraph BuildSlotGraph(const SlotSpec& spec);
