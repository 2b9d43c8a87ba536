// Slots in the captain's phrases: the notation, the words of each kind of slot as a graph for the
// recogniser, and the value read back out of the words heard.
#include "platform/phrase_slots.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <sstream>

namespace {

// The digit words: "oh" for zero and "niner" for nine, as pilots say them.
const struct {
    const char* word;
    int digit;
} kDigitWords[] = {{"zero", 0}, {"oh", 0},  {"one", 1},   {"two", 2},   {"three", 3}, {"four", 4},
                   {"five", 5}, {"six", 6}, {"seven", 7}, {"eight", 8}, {"nine", 9},  {"niner", 9}};

// The phonetic alphabet, with the spellings pilots' documents use beside the usual ones.
const std::vector<std::vector<std::string>>& LetterWords() {
    static const std::vector<std::vector<std::string>> letters = {{"alpha", "alfa"},
                                                                  {"bravo"},
                                                                  {"charlie"},
                                                                  {"delta"},
                                                                  {"echo"},
                                                                  {"foxtrot"},
                                                                  {"golf"},
                                                                  {"hotel"},
                                                                  {"india"},
                                                                  {"juliet", "juliett"},
                                                                  {"kilo"},
                                                                  {"lima"},
                                                                  {"mike"},
                                                                  {"november"},
                                                                  {"oscar"},
                                                                  {"papa"},
                                                                  {"quebec"},
                                                                  {"romeo"},
                                                                  {"sierra"},
                                                                  {"tango"},
                                                                  {"uniform"},
                                                                  {"victor"},
                                                                  {"whiskey", "whisky"},
                                                                  {"xray", "x ray"},
                                                                  {"yankee"},
                                                                  {"zulu"}};
    return letters;
}

const char* const kUnitWords[] = {"knots", "feet"};

int DigitOf(const std::string& word) {
    for (const auto& d : kDigitWords)
        if (word == d.word) return d.digit;
    return -1;
}

bool IsUnitWord(const std::string& word) {
    return std::find(std::begin(kUnitWords), std::end(kUnitWords), word) != std::end(kUnitWords);
}

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

std::string Trim(const std::string& text) {
    size_t begin = text.find_first_not_of(" \t");
    if (begin == std::string::npos) return std::string();
    size_t end = text.find_last_not_of(" \t");
    return text.substr(begin, end - begin + 1);
}

std::string JoinWords(const std::vector<std::string>& words) {
    std::string out;
    for (const std::string& w : words) {
        if (!out.empty()) out += ' ';
        out += w;
    }
    return out;
}

// A word a list choice may hold: what the recogniser can say (letters and apostrophes).
bool IsChoiceWord(const std::string& word) {
    if (word.empty()) return false;
    for (unsigned char c : word)
        if (!(c >= 'a' && c <= 'z') && c != '\'') return false;
    return true;
}

// A number written in a list choice: the whole text must be the number.
bool ReadWholeNumber(const std::string& text, double& value) {
    if (text.empty()) return false;
    char* end = nullptr;
    double v = std::strtod(text.c_str(), &end);
    if (end != text.c_str() + text.size() || !std::isfinite(v)) return false;
    value = v;
    return true;
}

// The number that words name the way a choice may say it: digit words in a row ("two five" 25), or a
// cardinal below a hundred ("fifteen", "twenty five"). False for anything else.
bool ReadCardinalWords(const std::vector<std::string>& words, double& value) {
    static const char* const kSmall[] = {"zero",    "one",     "two",       "three",    "four",
                                         "five",    "six",     "seven",     "eight",    "nine",
                                         "ten",     "eleven",  "twelve",    "thirteen", "fourteen",
                                         "fifteen", "sixteen", "seventeen", "eighteen", "nineteen"};
    static const char* const kTens[] = {"twenty", "thirty",  "forty",  "fifty",
                                        "sixty",  "seventy", "eighty", "ninety"};
    if (words.empty()) return false;
    auto small = [](const std::string& w) {
        for (int i = 0; i < 20; ++i)
            if (w == kSmall[i]) return i;
        return -1;
    };
    auto tens = [](const std::string& w) {
        for (int i = 0; i < 8; ++i)
            if (w == kTens[i]) return 20 + 10 * i;
        return -1;
    };
    if (words.size() == 1 && small(words[0]) >= 0) {
        value = small(words[0]);
        return true;
    }
    if (tens(words[0]) >= 0 && words.size() <= 2) {
        int v = tens(words[0]);
        if (words.size() == 2) {
            int unit = small(words[1]);
            if (unit < 1 || unit > 9) return false;
            v += unit;
        }
        value = v;
        return true;
    }
    double digits = 0;
    for (const std::string& w : words) {
        int d = DigitOf(w);
        if (d < 0) return false;
        digits = digits * 10 + d;
    }
    value = digits;
    return true;
}

bool ParseList(const std::string& inner, SlotSpec& spec, std::string& error) {
    spec.kind = SlotKind::List;
    std::vector<std::string> items;
    std::string item;
    std::istringstream in(inner);
    while (std::getline(in, item, '|')) items.push_back(item);
    if (!inner.empty() && inner.back() == '|') items.push_back(std::string());
    int position = 0;
    for (const std::string& raw : items) {
        ++position;
        SlotChoice choice;
        std::string wordsText = raw;
        size_t equals = raw.find('=');
        if (equals != std::string::npos) {
            wordsText = raw.substr(0, equals);
            const std::string valueText = Trim(raw.substr(equals + 1));
            if (!ReadWholeNumber(valueText, choice.value)) {
                error = "the value \"" + valueText + "\" of a choice is not a number";
                return false;
            }
            choice.valueWritten = true;
        }
        choice.words = PhraseWords(wordsText);
        if (choice.words.empty()) {
            error = "a choice is empty";
            return false;
        }
        for (const std::string& w : choice.words) {
            if (!IsChoiceWord(w)) {
                error = "the choice \"" + JoinWords(choice.words) + "\" holds \"" + w +
                        "\", which is not a word (letters only)";
                return false;
            }
        }
        if (!choice.valueWritten && !ReadCardinalWords(choice.words, choice.value)) choice.value = position;
        for (const SlotChoice& earlier : spec.choices) {
            if (earlier.words == choice.words) {
                error = "the choice \"" + JoinWords(choice.words) + "\" is written twice";
                return false;
            }
        }
        spec.choices.push_back(std::move(choice));
    }
    if (spec.choices.size() < 2) {
        error = "a list needs at least two choices";
        return false;
    }
    return true;
}

std::string Spelled(const std::vector<std::string>& words) {
    std::string out;
    for (const std::string& w : words) {
        int d = DigitOf(w);
        if (!out.empty()) out += ' ';
        out += d >= 0 ? std::string(1, static_cast<char>('0' + d)) : w;
    }
    return out;
}

// Reads `count` digit words from `at`; false when any is not one.
bool ReadDigits(const std::vector<std::string>& words, size_t at, size_t count, double& value) {
    if (at + count > words.size()) return false;
    double v = 0;
    for (size_t i = at; i < at + count; ++i) {
        int d = DigitOf(words[i]);
        if (d < 0) return false;
        v = v * 10 + d;
    }
    value = v;
    return true;
}

size_t LeadingDigits(const std::vector<std::string>& words) {
    size_t n = 0;
    while (n < words.size() && DigitOf(words[n]) >= 0) ++n;
    return n;
}

// Numbers as pilots say them: "flight level D D D" (hundreds of feet), one to five digits in a row,
// one or two digits and "thousand" with perhaps "D hundred", or "D hundred"; then perhaps "knots" or
// "feet", which the read-back leaves out.
bool DecodeNumber(std::vector<std::string> words, SlotValue& out) {
    if (words.size() > 1 && IsUnitWord(words.back())) words.pop_back();
    if (words.empty()) return false;
    if (words[0] == "flight") {
        double level = 0;
        if (words.size() != 5 || words[1] != "level" || !ReadDigits(words, 2, 3, level)) return false;
        out.value = level * 100;
        out.spelled = Spelled(words);
        return true;
    }
    const size_t k = LeadingDigits(words);
    double lead = 0;
    if (k == 0 || k > 5 || !ReadDigits(words, 0, k, lead)) return false;
    double value = lead;
    if (k < words.size()) {
        if (words[k] == "hundred" && k == 1 && words.size() == 2) {
            value = lead * 100;
        } else if (words[k] == "thousand" && k <= 2) {
            value = lead * 1000;
            if (words.size() == k + 3 && words[k + 2] == "hundred") {
                double hundreds = 0;
                if (!ReadDigits(words, k + 1, 1, hundreds)) return false;
                value += hundreds * 100;
            } else if (words.size() != k + 1) {
                return false;
            }
        } else {
            return false;
        }
    }
    out.value = value;
    out.spelled = Spelled(words);
    return true;
}

// "D D D decimal D[D[D]]", "point" for "decimal" too; the value in MHz, exact to the kHz.
bool DecodeFrequency(const std::vector<std::string>& words, SlotValue& out) {
    if (words.size() < 5 || words.size() > 7) return false;
    if (words[3] != "decimal" && words[3] != "point") return false;
    double whole = 0, fraction = 0;
    const size_t places = words.size() - 4;
    if (!ReadDigits(words, 0, 3, whole) || !ReadDigits(words, 4, places, fraction)) return false;
    for (size_t i = places; i < 3; ++i) fraction *= 10;
    out.value = (whole * 1000 + fraction) / 1000;
    out.spelled = Spelled(words);
    return true;
}

bool DecodeLetter(const std::vector<std::string>& words, SlotValue& out) {
    const std::string said = JoinWords(words);
    const auto& letters = LetterWords();
    for (size_t i = 0; i < letters.size(); ++i) {
        for (const std::string& form : letters[i]) {
            if (form != said) continue;
            out.value = static_cast<double>(i + 1);
            out.spelled = said;
            return true;
        }
    }
    return false;
}

// Adds a chain of arcs for the words from `from` to `to`.
void AddChain(SlotGraph& g, int from, int to, const std::vector<std::string>& words) {
    for (size_t i = 0; i < words.size(); ++i) {
        int next = i + 1 == words.size() ? to : g.stateCount++;
        g.arcs.push_back({from, next, words[i]});
        from = next;
    }
}

void AddDigitArcs(SlotGraph& g, int from, int to) {
    for (const auto& d : kDigitWords) g.arcs.push_back({from, to, d.word});
}

int NewState(SlotGraph& g) {
    return g.stateCount++;
}

} // namespace

std::vector<std::string> PhraseWords(const std::string& text) {
    std::vector<std::string> words;
    std::istringstream in(text);
    std::string w;
    while (in >> w) words.push_back(w);
    return words;
}

bool HasSlotNotation(const std::string& text) {
    return text.find_first_of("{}") != std::string::npos;
}

bool ParseSlotSpec(const std::string& inner, SlotSpec& spec, std::string& error) {
    spec = SlotSpec{};
    const std::string text = Lower(Trim(inner));
    if (text.find('|') != std::string::npos) return ParseList(text, spec, error);
    const std::vector<std::string> words = PhraseWords(text);
    if (words.empty()) {
        error = "the slot is empty";
        return false;
    }
    if (words[0] == "digits") {
        double count = 0;
        if (words.size() != 2 || !ReadWholeNumber(words[1], count) || count != std::floor(count) ||
            count < 1 || count > 8) {
            error = "\"digits\" needs how many, 1 to 8";
            return false;
        }
        spec.kind = SlotKind::Digits;
        spec.digits = static_cast<int>(count);
        return true;
    }
    const struct {
        const char* name;
        SlotKind kind;
    } kKinds[] = {
        {"number", SlotKind::Number}, {"frequency", SlotKind::Frequency}, {"letter", SlotKind::Letter}};
    for (const auto& k : kKinds) {
        if (words[0] != k.name) continue;
        if (words.size() != 1) {
            error = "\"" + words[0] + "\" takes nothing more";
            return false;
        }
        spec.kind = k.kind;
        return true;
    }
    error = "\"" + text + "\" is no kind of slot (digits N, number, frequency, letter, or choices a|b)";
    return false;
}

std::string SlotSpecText(const SlotSpec& spec) {
    switch (spec.kind) {
    case SlotKind::Digits:
        return "{digits " + std::to_string(spec.digits) + "}";
    case SlotKind::Number:
        return "{number}";
    case SlotKind::Frequency:
        return "{frequency}";
    case SlotKind::Letter:
        return "{letter}";
    case SlotKind::List:
        break;
    }
    std::string text = "{";
    for (size_t i = 0; i < spec.choices.size(); ++i) {
        const SlotChoice& c = spec.choices[i];
        if (i > 0) text += "|";
        text += JoinWords(c.words);
        if (c.valueWritten) {
            std::ostringstream v;
            v << c.value;
            text += '=';
            text += v.str();
        }
    }
    return text + "}";
}

PhrasePattern ParsePhrasePattern(const std::string& text) {
    PhrasePattern pattern;
    pattern.text = text;
    std::string word;
    auto endWord = [&] {
        if (!word.empty()) pattern.elements.push_back({word, -1});
        word.clear();
    };
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '}') {
            pattern.error = "a \"}\" without its \"{\"";
            return pattern;
        }
        if (c == '{') {
            endWord();
            const size_t close = text.find('}', i + 1);
            const size_t nested = text.find('{', i + 1);
            if (close == std::string::npos) {
                pattern.error = "a \"{\" without its \"}\"";
                return pattern;
            }
            if (nested < close) {
                pattern.error = "a \"{\" inside a slot";
                return pattern;
            }
            SlotSpec spec;
            std::string error;
            if (!ParseSlotSpec(text.substr(i + 1, close - i - 1), spec, error)) {
                pattern.error = "slot " + text.substr(i, close - i + 1) + ": " + error;
                return pattern;
            }
            if (pattern.slots.size() == kMaxSlotsPerPhrase) {
                pattern.error = "more than " + std::to_string(kMaxSlotsPerPhrase) + " slots in one phrase";
                return pattern;
            }
            pattern.elements.push_back({std::string(), static_cast<int>(pattern.slots.size())});
            pattern.slots.push_back(std::move(spec));
            i = close;
        } else if (c == ' ' || c == '\t') {
            endWord();
        } else {
            word.push_back(c);
        }
    }
    endWord();
    return pattern;
}

std::string PhraseTemplate(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        const size_t close = text[i] == '{' ? text.find('}', i + 1) : std::string::npos;
        if (close == std::string::npos) {
            out.push_back(text[i]);
            continue;
        }
        out += "___";
        i = close;
    }
    return out;
}

bool DecodeSlot(const SlotSpec& spec, const std::vector<std::string>& words, SlotValue& value) {
    switch (spec.kind) {
    case SlotKind::Digits: {
        double v = 0;
        if (words.size() != static_cast<size_t>(spec.digits) || !ReadDigits(words, 0, words.size(), v))
            return false;
        value.value = v;
        value.spelled = Spelled(words);
        return true;
    }
    case SlotKind::Number:
        return DecodeNumber(words, value);
    case SlotKind::Frequency:
        return DecodeFrequency(words, value);
    case SlotKind::Letter:
        return DecodeLetter(words, value);
    case SlotKind::List:
        for (const SlotChoice& c : spec.choices) {
            if (c.words != words) continue;
            value.value = c.value;
            value.spelled = JoinWords(words);
            return true;
        }
        return false;
    }
    return false;
}

namespace {
bool MatchFrom(const PhrasePattern& pattern, size_t element, const std::vector<std::string>& words, size_t at,
               std::vector<SlotValue>& values) {
    if (element == pattern.elements.size()) return at == words.size();
    const PhraseElement& e = pattern.elements[element];
    if (e.slot < 0) {
        return at < words.size() && words[at] == e.word &&
               MatchFrom(pattern, element + 1, words, at + 1, values);
    }
    // The shortest way of saying the slot that lets the rest of the phrase match.
    for (size_t end = at + 1; end <= words.size(); ++end) {
        SlotValue v;
        std::vector<std::string> said(words.begin() + static_cast<std::ptrdiff_t>(at),
                                      words.begin() + static_cast<std::ptrdiff_t>(end));
        if (!DecodeSlot(pattern.slots[static_cast<size_t>(e.slot)], said, v)) continue;
        values[static_cast<size_t>(e.slot)] = v;
        if (MatchFrom(pattern, element + 1, words, end, values)) return true;
    }
    return false;
}
} // namespace

bool MatchPhrasePattern(const PhrasePattern& pattern, const std::vector<std::string>& words,
                        std::vector<SlotValue>& values) {
    if (!pattern.error.empty()) return false;
    std::vector<SlotValue> found(pattern.slots.size());
    if (!MatchFrom(pattern, 0, words, 0, found)) return false;
    values = std::move(found);
    return true;
}

SlotGraph BuildSlotGraph(const SlotSpec& spec) {
    SlotGraph g;
    switch (spec.kind) {
    case SlotKind::Digits: {
        int from = 0;
        for (int i = 0; i < spec.digits; ++i) {
            int to = i + 1 == spec.digits ? 1 : NewState(g);
            AddDigitArcs(g, from, to);
            from = to;
        }
        break;
    }
    case SlotKind::Number: {
        const int end = NewState(g); // the number said, before a unit
        int lead[5];
        for (int& s : lead) s = NewState(g);
        AddDigitArcs(g, 0, lead[0]);
        for (int i = 0; i < 4; ++i) AddDigitArcs(g, lead[i], lead[i + 1]);
        for (int s : lead) g.nulls.push_back({s, end});
        const int thousand = NewState(g), hundreds = NewState(g);
        g.arcs.push_back({lead[0], thousand, "thousand"});
        g.arcs.push_back({lead[1], thousand, "thousand"});
        g.nulls.push_back({thousand, end});
        AddDigitArcs(g, thousand, hundreds);
        g.arcs.push_back({hundreds, end, "hundred"});
        g.arcs.push_back({lead[0], end, "hundred"});
        const int level = NewState(g);
        AddChain(g, 0, level, {"flight", "level"});
        int from = level;
        for (int i = 0; i < 3; ++i) {
            int to = i == 2 ? end : NewState(g);
            AddDigitArcs(g, from, to);
            from = to;
        }
        for (const char* unit : kUnitWords) g.arcs.push_back({end, 1, unit});
        g.nulls.push_back({end, 1});
        break;
    }
    case SlotKind::Frequency: {
        int from = 0;
        for (int i = 0; i < 3; ++i) {
            int to = NewState(g);
            AddDigitArcs(g, from, to);
            from = to;
        }
        const int point = NewState(g);
        g.arcs.push_back({from, point, "decimal"});
        g.arcs.push_back({from, point, "point"});
        const int one = NewState(g), two = NewState(g);
        AddDigitArcs(g, point, one);
        AddDigitArcs(g, one, two);
        AddDigitArcs(g, two, 1);
        g.nulls.push_back({one, 1});
        g.nulls.push_back({two, 1});
        break;
    }
    case SlotKind::Letter:
        for (const auto& forms : LetterWords())
            for (const std::string& form : forms) AddChain(g, 0, 1, PhraseWords(form));
        break;
    case SlotKind::List:
        for (const SlotChoice& c : spec.choices) AddChain(g, 0, 1, c.words);
        break;
    }
    return g;
}
