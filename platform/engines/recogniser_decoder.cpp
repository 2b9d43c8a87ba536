// The recogniser's pocketsphinx decoders and their verdict. The grammar's alternatives are the phrases
// and, beside them, a garbage loop of single phones at a fixed cost per phone: sound the phrases explain
// less well than free phones do (speech outside the grammar, noise) takes the garbage path. A second
// decoder runs free phones alone over the same sound as a yardstick for the phrase's fit. A phrase is
// refused when its words fit the sound much worse than free phones, or one of its words does, when they are
// held too briefly for their phones (a fragment the grammar forced onto the sound), when loud sound lies
// outside them (a sentence of which only a part sounds like a phrase), when nothing rose above the
// background, and, for a phrase of one word in loud noise, unless it fits better than free phones.
#include "platform/engines/recogniser_cepstra.h"
#include "platform/engines/recogniser_parts.h"
#include "platform/files.h"
#include "platform/phrase_slots.h"
#include "platform/speech_data.h"

#include <pocketsphinx.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <map>
#include <set>
#include <sstream>

namespace {

const char* const kGrammarSearch = "phrases";

// The model's phones, each a garbage "word" of the grammar.
const char* const kPhones[] = {"AA", "AE", "AH", "AO", "AW", "AY", "B",  "CH", "D", "DH", "EH", "ER", "EY",
                               "F",  "G",  "HH", "IH", "IY", "JH", "K",  "L",  "M", "N",  "NG", "OW", "OY",
                               "P",  "R",  "S",  "SH", "T",  "TH", "UH", "UW", "V", "W",  "Y",  "Z",  "ZH"};
const char* const kGarbagePrefix = "garbage_";
// The library keeps path scores 2^10 coarser than the log probabilities of the grammar's transitions.
constexpr int kPathScoreShift = 10;
// The model's silence, as the library adds it at every state of a graph at its own cost.
const char* const kPauseWord = "<sil>";

// The POSIX cksum of a file's bytes (CRC-32 over the bytes and then the length), as `cksum` prints it.
bool FileChecksum(const std::string& path, uint32_t& crc, uint64_t& size) {
    static const auto table = [] {
        std::array<uint32_t, 256> t{};
        for (uint32_t i = 0; i < 256; ++i) {
            uint32_t c = i << 24;
            for (int k = 0; k < 8; ++k) c = (c & 0x80000000u) ? (c << 1) ^ 0x04C11DB7u : c << 1;
            t[i] = c;
        }
        return t;
    }();
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return false;
    crc = 0;
    size = 0;
    std::vector<unsigned char> buffer(1 << 16);
    size_t n = 0;
    while ((n = std::fread(buffer.data(), 1, buffer.size(), f)) > 0) {
        for (size_t i = 0; i < n; ++i) crc = (crc << 8) ^ table[((crc >> 24) ^ buffer[i]) & 0xFF];
        size += n;
    }
    const bool failed = std::ferror(f) != 0;
    std::fclose(f);
    for (uint64_t length = size; length != 0; length >>= 8)
        crc = (crc << 8) ^ table[((crc >> 24) ^ static_cast<unsigned char>(length & 0xFF)) & 0xFF];
    crc = ~crc;
    return !failed;
}

bool Readable(const std::string& path) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return false;
    std::fclose(f);
    return true;
}

} // namespace

bool CheckModelManifest(const std::string& folder, std::string& error) {
    std::FILE* f = std::fopen((folder + "/manifest.txt").c_str(), "rb");
    if (!f) return true; // a model without a manifest (Debian's installed one) is taken as it is
    std::string text;
    char block[4096];
    size_t n = 0;
    while ((n = std::fread(block, 1, sizeof block, f)) > 0) text.append(block, n);
    std::fclose(f);
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        unsigned long long expectedCrc = 0, expectedSize = 0;
        std::string name;
        if (!(fields >> expectedCrc >> expectedSize >> name)) continue;
        const std::string path = folder + "/" + name;
        uint32_t crc = 0;
        uint64_t size = 0;
        if (!FileChecksum(path, crc, size)) {
            error = "the recogniser's model file is missing: " + path;
            return false;
        }
        if (crc != expectedCrc || size != expectedSize) {
            error = "the recogniser's model file is damaged: " + path;
            return false;
        }
    }
    return true;
}

namespace {

// A decoder of the acoustic model that knows no word yet (its dictionary is the null device).
ps_decoder_t* NewDecoder(std::string& error) {
    const SpeechDataPaths data = SpeechData();
    // A missing file is named, not left to the library's crash or silence; and the library ends the whole
    // process on a damaged model file, so a model that comes with a manifest is checked against it first.
    for (const std::string& file :
         {data.acousticModel + "/mdef", data.acousticModel + "/means", data.dictionary}) {
        if (!Readable(file)) {
            error = "the recogniser's model file is missing: " + file;
            return nullptr;
        }
    }
    if (!CheckModelManifest(data.acousticModel, error)) return nullptr;
    std::vector<std::string> args = {
        "-hmm", data.acousticModel, "-dict", data.nullFile, "-logfn", data.nullFile, "-samprate", "16000",
        // Measured on spoken phrases in noise: wider beams and more Gaussians per frame keep the right
        // phrase alive in loud noise, and the decoder's own speech detector, which cut words out of
        // noisy utterances, is left off (push-to-talk marks the utterance).
        "-beam", "1e-60", "-pbeam", "1e-60", "-wbeam", "1e-50", "-topn", "8", "-remove_silence", "no"};
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    cmd_ln_t* config = cmd_ln_parse_r(nullptr, ps_args(), int(argv.size()), argv.data(), TRUE);
    if (!config) {
        error = "pocketsphinx refused its configuration";
        return nullptr;
    }
    ps_decoder_t* decoder = ps_init(config);
    cmd_ln_free_r(config); // the decoder keeps its own reference
    if (!decoder) error = "the recogniser could not load its model in " + data.acousticModel + " (damaged?)";
    return decoder;
}

// The model dictionary's lines for these words, each its entry and phones as the file gives them
// ("zero", "Z IH R OW"; "zero(2)", "Z IY R OW"), in the file's order. The grammar's decoder is given only the
// words its phrases use: the whole dictionary, 130,000 words, would cost a tenth of a second and 20 MB.
std::vector<std::pair<std::string, std::string>> DictionaryLines(const std::string& path,
                                                                 const std::set<std::string>& words) {
    std::vector<std::pair<std::string, std::string>> found;
    if (words.empty()) return found;
    const std::string text = ReadWholeFile(path);
    for (size_t at = 0; at < text.size();) {
        const size_t end = std::min(text.find('\n', at), text.size());
        const size_t space = text.find(' ', at);
        if (space < end) {
            const std::string entry = text.substr(at, space - at);
            const size_t last = text.find_last_not_of(" \t\r", end - 1);
            if (last > space && words.count(entry.substr(0, entry.find('('))))
                found.push_back({entry, text.substr(space + 1, last - space)});
        }
        at = end + 1;
    }
    return found;
}

std::string GarbageWord(const char* phone) {
    std::string word = kGarbagePrefix + std::string(phone);
    for (char& c : word) c = char(std::tolower(static_cast<unsigned char>(c)));
    return word;
}

std::vector<std::string> Words(const std::string& phrase) {
    std::istringstream in(phrase);
    std::vector<std::string> words;
    std::string w;
    while (in >> w) words.push_back(w);
    return words;
}

// A word the grammar may hold: letters, digits and apostrophes (what the phrase context keeps).
bool IsGrammarWord(const std::string& word) {
    for (unsigned char c : word)
        if (!std::isalnum(c) && c != '\'') return false;
    return !word.empty();
}

// The 10 ms frames of the best path that are words, not silence or filler.
int SpeechFrames(ps_decoder_t* decoder) {
    int frames = 0;
    for (ps_seg_t* seg = ps_seg_iter(decoder); seg; seg = ps_seg_next(seg)) {
        std::string word = ps_seg_word(seg);
        int sf = 0, ef = 0;
        ps_seg_frames(seg, &sf, &ef);
        bool filler = word.empty() || word == "<sil>" || word == "<s>" || word == "</s>" || word[0] == '[' ||
                      word[0] == '+' || word == "(NULL)";
        if (!filler) frames += ef - sf + 1;
    }
    return frames;
}

struct Span {
    int first = 0, last = 0; // frames, inclusive
    std::string word;
    int32 acoustic = 0; // the path's acoustic score over the span
};

// The words of the best path with their frames, fillers left out.
// The library numbers the frames of a lattice's segments from a point of its own; they are brought back to
// the utterance's, whose last frame the path's last segment ends on.
std::vector<Span> PathSpans(ps_decoder_t* decoder, bool withFillers = false) {
    std::vector<Span> spans;
    int lastFrame = -1;
    for (ps_seg_t* seg = ps_seg_iter(decoder); seg; seg = ps_seg_next(seg)) {
        std::string word = ps_seg_word(seg);
        int first = 0, last = 0;
        ps_seg_frames(seg, &first, &last);
        lastFrame = std::max(lastFrame, last);
        bool filler = word.empty() || word == "<sil>" || word == "<s>" || word == "</s>" || word[0] == '[' ||
                      word[0] == '+' || word == "(NULL)";
        if (filler && !withFillers) continue;
        Span span;
        span.first = first;
        span.last = last;
        span.word = word;
        int32 lscr = 0, lback = 0;
        ps_seg_prob(seg, &span.acoustic, &lscr, &lback);
        spans.push_back(span);
    }
    const int shift = std::max(0, lastFrame - (ps_get_n_frames(decoder) - 1));
    for (Span& span : spans) {
        span.first = std::max(0, span.first - shift);
        span.last = std::max(span.first, span.last - shift);
    }
    return spans;
}

// The share of the loud frames (those above the background by half the rise) that no word covers: the
// speech the phrase leaves unexplained.
double UncoveredLoudShare(const std::vector<double>& levels, double riseDb, const std::vector<Span>& words) {
    if (levels.size() < 10) return 0;
    std::vector<double> sorted = levels;
    std::sort(sorted.begin(), sorted.end());
    const double loud = sorted[sorted.size() / 10] + 0.5 * riseDb;
    std::vector<bool> covered(levels.size(), false);
    for (const Span& w : words)
        for (int f = w.first; f <= w.last && f < int(covered.size()); ++f) covered[size_t(f)] = true;
    int loudFrames = 0, outside = 0;
    for (size_t f = 0; f < levels.size(); ++f) {
        if (levels[f] < loud) continue;
        ++loudFrames;
        outside += covered[f] ? 0 : 1;
    }
    return loudFrames ? double(outside) / loudFrames : 0;
}

// Each word of the phrase against free phones over its own frames, per frame: the worst of them. A
// phrase the grammar forced onto other speech ("tea please" taken for "decrease rate") may fit well as a
// whole while one of its words fits far worse than free phones. The phone loop's score is spread evenly
// over the frames of each of its phones.
double WorstWordFit(const std::vector<Span>& words, const std::vector<Span>& phones, int frames) {
    if (words.empty()) return 0;
    std::vector<double> loop(size_t(std::max(1, frames)), 0.0);
    for (const Span& p : phones) {
        const int n = p.last - p.first + 1;
        for (int f = p.first; f <= p.last && f < int(loop.size()); ++f)
            loop[size_t(f)] += double(p.acoustic) / n;
    }
    double worst = 1e9;
    for (const Span& w : words) {
        double against = 0;
        for (int f = w.first; f <= w.last && f < int(loop.size()); ++f) against += loop[size_t(f)];
        worst = std::min(worst, (double(w.acoustic) - against) / (w.last - w.first + 1));
    }
    return worst;
}

// How far the loud frames (the 95th percentile) rise above the background (the 10th), in decibels:
// speech rises well above noise of any loudness, noise alone hardly varies.
double LoudnessRise(std::vector<double> levels) {
    if (levels.size() < 10) return 0;
    std::sort(levels.begin(), levels.end());
    return levels[levels.size() * 95 / 100] - levels[levels.size() / 10];
}

// The words a pattern's slots say, in the order of their graphs.
std::vector<std::string> SlotWords(const PhrasePattern& pattern) {
    std::vector<std::string> words;
    for (const SlotSpec& slot : pattern.slots)
        for (const SlotArc& arc : BuildSlotGraph(slot).arcs) words.push_back(arc.word);
    return words;
}

// The words a phrase may be said with: its own words and, for a phrase with slots ("set heading
// {digits 3}"), the words of each slot's sub-graph.
std::vector<std::string> Vocabulary(const std::string& phrase) {
    if (!HasSlotNotation(phrase)) return Words(phrase);
    const PhrasePattern pattern = ParsePhrasePattern(phrase);
    std::vector<std::string> words;
    if (!pattern.error.empty()) {
        words.push_back(phrase); // no word: the phrase is left out
        return words;
    }
    for (const PhraseElement& e : pattern.elements)
        if (e.slot < 0) words.push_back(e.word);
    for (const std::string& word : SlotWords(pattern)) words.push_back(word);
    return words;
}

// The words that values are said with ("four", "niner", "alpha"): every word of the digits, numbers,
// frequencies and letters, whether these phrases have such slots or not, and the words of their lists. A
// word keeps the forms it first entered the decoder with, through every later grammar: "four" heard in a
// phrase of a profile without slots would otherwise keep its form without an R when the next profile
// asks for values.
std::set<std::string> ValueWords(const std::vector<std::string>& phrases) {
    std::set<std::string> words;
    for (const SlotKind kind : {SlotKind::Digits, SlotKind::Number, SlotKind::Frequency, SlotKind::Letter})
        for (const SlotArc& arc : BuildSlotGraph(SlotSpec{kind, 1, {}}).arcs) words.insert(arc.word);
    for (const std::string& phrase : phrases)
        if (HasSlotNotation(phrase))
            for (const std::string& word : SlotWords(ParsePhrasePattern(phrase))) words.insert(word);
    return words;
}

// Each word's pronunciations also as speakers who drop an R that no vowel follows say them, added to the
// decoder as the word's alternatives ("gear(2)"). A value's words keep the dictionary's forms alone: there
// "four" said as "F AO" lay so near "oh" that the value check refused right values it used to take.
void AddFormsWithoutFinalRs(ps_decoder_t* decoder,
                            const std::map<std::string, std::vector<std::string>>& added,
                            const std::set<std::string>& valueWords) {
    for (const auto& [word, given] : added) {
        if (valueWords.count(word)) continue;
        std::vector<std::string> forms = given;
        int number = 1;
        for (const std::string& form : given) {
            const std::string without = WithoutFinalRs(form);
            if (std::find(forms.begin(), forms.end(), without) != forms.end()) continue;
            forms.push_back(without);
            // The first number no form of the word has yet: the library, asked to add a word it already
            // holds, refuses it but leaves the word's list of forms broken (the next grammar then never
            // loads).
            std::string name;
            bool unused = false;
            while (!unused && number < 100) {
                name = word + "(" + std::to_string(++number) + ")";
                char* held = ps_lookup_word(decoder, name.c_str());
                unused = !held;
                ckd_free(held);
            }
            if (unused) ps_add_word(decoder, name.c_str(), without.c_str(), FALSE);
        }
    }
}

// A word transition of the phrase graph, and an empty one.
struct GraphArc {
    int from = 0;
    int to = 0;
    int32 logp = 0;
    std::string word;
};
struct PhraseGraph {
    int states = 3; // start, end, garbage
    std::vector<GraphArc> arcs;
    std::vector<GraphArc> nulls;
    std::vector<int> withinValues; // the states before, between and after the words of a value
};

// One phrase as a chain from the start to the end: a word is one transition; a slot is its sub-graph,
// laid between the states around it, so that a value is any path through it rather than a phrase of its
// own. The phrase's first step carries its weight against the other phrases.
void AddPhrase(PhraseGraph& g, const std::string& phrase, int32 phraseLogp) {
    if (!HasSlotNotation(phrase)) {
        std::vector<std::string> words = Words(phrase);
        int from = 0;
        for (size_t i = 0; i < words.size(); ++i) {
            int to = i + 1 == words.size() ? 1 : g.states++;
            g.arcs.push_back({from, to, i == 0 ? phraseLogp : 0, words[i]});
            from = to;
        }
        return;
    }
    const PhrasePattern pattern = ParsePhrasePattern(phrase);
    int from = 0;
    for (size_t i = 0; i < pattern.elements.size(); ++i) {
        const PhraseElement& e = pattern.elements[i];
        const bool last = i + 1 == pattern.elements.size();
        const int32 logp = i == 0 ? phraseLogp : 0;
        if (e.slot < 0) {
            int to = last ? 1 : g.states++;
            g.arcs.push_back({from, to, logp, e.word});
            from = to;
            continue;
        }
        if (i == 0) {
            const int entry = g.states++;
            g.nulls.push_back({from, entry, logp, std::string()});
            from = entry;
        }
        const SlotGraph slot = BuildSlotGraph(pattern.slots[static_cast<size_t>(e.slot)]);
        std::vector<int> state(static_cast<size_t>(slot.stateCount));
        state[0] = from;
        state[1] = last ? 1 : g.states++;
        for (size_t k = 2; k < state.size(); ++k) state[k] = g.states++;
        for (int s : state)
            if (s > 2) g.withinValues.push_back(s); // the grammar's start and end are every phrase's
        for (const SlotArc& arc : slot.arcs)
            g.arcs.push_back(
                {state[static_cast<size_t>(arc.from)], state[static_cast<size_t>(arc.to)], 0, arc.word});
        for (const auto& [a, b] : slot.nulls)
            g.nulls.push_back(
                {state[static_cast<size_t>(a)], state[static_cast<size_t>(b)], 0, std::string()});
        from = state[1];
    }
}

// The grammar as a finite-state graph: from the start, one chain of word transitions per phrase to the
// end (slots as sub-graphs within it), and the garbage loop: any phone, any number of times, each at the
// cost of `phonePenalty`, entered at the cost of `garbageWeight`.
bool SetPhraseGraph(Decoders& d, const std::vector<std::string>& phrases) {
    logmath_t* lmath = ps_get_logmath(d.grammar);
    float lw = float(cmd_ln_float32_r(ps_get_config(d.grammar), "-lw"));
    auto logp = [&](double p) { return int32(logmath_log(lmath, p) * lw); };
    PhraseGraph graph;
    int32 phraseLogp = logp(1.0 / double(phrases.size()));
    for (const std::string& phrase : phrases) AddPhrase(graph, phrase, phraseLogp);
    fsg_model_t* fsg = fsg_model_init("phrases", lmath, lw, graph.states);
    fsg->start_state = 0;
    fsg->final_state = 1;
    const int garbage = 2;
    for (const GraphArc& arc : graph.arcs)
        fsg_model_trans_add(fsg, arc.from, arc.to, arc.logp, fsg_model_word_add(fsg, arc.word.c_str()));
    for (const GraphArc& arc : graph.nulls) fsg_model_null_trans_add(fsg, arc.from, arc.to, arc.logp);
    // Slots' empty transitions may follow one another (the last digit of a number, then no unit): the
    // decoder takes each as one step, so every chain of them is made a transition of its own.
    if (!graph.nulls.empty()) glist_free(fsg_model_null_trans_closure(fsg, nullptr));
    if (d.garbageWeight > 0) {
        int32 phone = logp(d.phonePenalty), entry = logp(d.garbageWeight * d.phonePenalty);
        for (const char* p : kPhones) {
            int wid = fsg_model_word_add(fsg, GarbageWord(p).c_str());
            fsg_model_trans_add(fsg, 0, garbage, entry, wid);
            fsg_model_trans_add(fsg, garbage, garbage, phone, wid);
        }
        fsg_model_null_trans_add(fsg, garbage, 1, 0);
    }
    // A pause costs less before, between and after the words than the library makes it; not next to a
    // value's words, where the decoder then took a digit's faint first sound for a pause ("four" heard
    // as "oh", "six" as "three").
    std::vector<bool> withinValue(size_t(graph.states), false);
    for (int state : graph.withinValues) withinValue[size_t(state)] = true;
    for (int state = 0; state < graph.states; ++state)
        if (!withinValue[size_t(state)])
            fsg_model_add_silence(fsg, kPauseWord, state, float32(kPauseProbability));
    bool ok =
        ps_set_fsg(d.grammar, kGrammarSearch, fsg) >= 0 && ps_set_search(d.grammar, kGrammarSearch) >= 0;
    fsg_model_free(fsg);
    return ok;
}

// The yardstick: the garbage loop alone, any phones in any order.
bool SetPhoneLoop(ps_decoder_t* decoder, double phonePenalty) {
    logmath_t* lmath = ps_get_logmath(decoder);
    float lw = float(cmd_ln_float32_r(ps_get_config(decoder), "-lw"));
    fsg_model_t* fsg = fsg_model_init("phones", lmath, lw, 2);
    fsg->start_state = 0;
    fsg->final_state = 1;
    int32 phone = int32(logmath_log(lmath, phonePenalty) * lw);
    for (const char* p : kPhones) {
        int wid = fsg_model_word_add(fsg, GarbageWord(p).c_str());
        fsg_model_trans_add(fsg, 0, 1, phone, wid);
        fsg_model_trans_add(fsg, 1, 1, phone, wid);
    }
    fsg_model_null_trans_add(fsg, 0, 1, 0);
    fsg_model_add_silence(fsg, kPauseWord, -1, float32(kPauseProbability));
    bool ok = ps_set_fsg(decoder, "phones", fsg) >= 0 && ps_set_search(decoder, "phones") >= 0;
    fsg_model_free(fsg);
    return ok;
}

} // namespace

bool OpenDecoders(Decoders& d, std::string& error) {
    if (d.grammar) return true;
    // Neither decoder loads the dictionary: the grammar's words are added from it as a grammar is loaded,
    // and the yardstick knows only its phones.
    d.grammar = NewDecoder(error);
    if (!d.grammar) return false;
    for (const char* phone : kPhones) ps_add_word(d.grammar, GarbageWord(phone).c_str(), phone, FALSE);
    d.phoneLoop = NewDecoder(error);
    if (!d.phoneLoop) {
        CloseDecoders(d);
        return false;
    }
    for (const char* phone : kPhones) ps_add_word(d.phoneLoop, GarbageWord(phone).c_str(), phone, FALSE);
    if (!SetPhoneLoop(d.phoneLoop, kLoopPhonePenalty)) {
        error = "pocketsphinx refused the phone loop";
        CloseDecoders(d);
        return false;
    }

    return true;
}

void CloseDecoders(Decoders& d) {
    if (d.inUtterance && d.grammar) ps_end_utt(d.grammar);
    if (d.inUtterance && d.phoneLoop) ps_end_utt(d.phoneLoop);

    if (d.grammar) ps_free(d.grammar);
    if (d.phoneLoop) ps_free(d.phoneLoop);
    d = Decoders{};
}

GrammarReport LoadGrammar(Decoders& d, const std::vector<std::string>& phrases) {
    GrammarReport report;
    if (!d.grammar) return report;
    EndUtterance(d, false);
    std::vector<std::vector<std::string>> vocabularies;
    std::set<std::string> known, unspellable, unknown; // unknown: words the decoder does not know yet
    for (const std::string& phrase : phrases) {
        vocabularies.push_back(Vocabulary(phrase));
        for (const std::string& word : vocabularies.back()) {
            if (known.count(word) || unspellable.count(word) || unknown.count(word)) continue;
            if (!IsGrammarWord(word)) {
                unspellable.insert(word);
                continue;
            }
            char* phones = ps_lookup_word(d.grammar, word.c_str());
            if (phones)
                known.insert(word);
            else
                unknown.insert(word);
            ckd_free(phones);
        }
    }
    // The dictionary's words first, an entry's first pronunciation before its others ("zero" before
    // "zero(2)"); eSpeak NG spells what it lacks.
    const auto lines = DictionaryLines(SpeechData().dictionary, unknown);
    std::map<std::string, std::vector<std::string>> added; // each word's pronunciations given now
    for (bool alternatives : {false, true})
        for (const auto& [entry, phones] : lines) {
            if ((entry.find('(') != std::string::npos) != alternatives ||
                ps_add_word(d.grammar, entry.c_str(), phones.c_str(), FALSE) < 0)
                continue;
            added[entry.substr(0, entry.find('('))].push_back(phones);
            if (!alternatives) {
                known.insert(entry);
                unknown.erase(entry);
            }
        }
    for (const std::vector<std::string>& vocabulary : vocabularies) {
        for (const std::string& word : vocabulary) {
            if (!unknown.count(word)) continue;
            unknown.erase(word);
            std::string spelled = SpellWithEspeak(word);
            if (spelled.empty() || ps_add_word(d.grammar, word.c_str(), spelled.c_str(), FALSE) < 0) {
                unspellable.insert(word);
                continue;
            }
            known.insert(word);
            added[word].push_back(spelled);
            report.spelled.push_back(word + " (" + spelled + ")");
        }
    }
    AddFormsWithoutFinalRs(d.grammar, added, ValueWords(phrases));
    report.unspellable.assign(unspellable.begin(), unspellable.end());
    for (size_t i = 0; i < phrases.size(); ++i) {
        const std::string& phrase = phrases[i];
        const std::vector<std::string>& words = vocabularies[i];
        bool sayable = !words.empty();
        for (const std::string& w : words) sayable = sayable && known.count(w);
        if (!sayable) {
            if (!words.empty()) report.dropped.push_back(phrase);
            continue;
        }
        // A phrase with slots stays as written: the graph reads its slots.
        std::string joined = HasSlotNotation(phrase) ? phrase : std::string();
        if (joined.empty())
            for (const std::string& w : words) joined += (joined.empty() ? "" : " ") + w;
        if (std::find(report.kept.begin(), report.kept.end(), joined) != report.kept.end()) continue;
        report.kept.push_back(joined);
    }
    // A grammar that cannot be loaded leaves none: the phrases before it are no longer the captain's.
    d.phrases.clear();
    if (report.kept.empty()) {
        report.error = "no phrase of the grammar can be said";
        return report;
    }
    if (!SetPhraseGraph(d, report.kept)) {
        report.error = "pocketsphinx refused the grammar";
        report.kept.clear();
        return report;
    }
    d.phrases = report.kept;
    report.ok = true;
    return report;
}

void BeginUtterance(Decoders& d) {
    EndUtterance(d, false);
    if (!d.grammar || d.phrases.empty()) return;
    if (ps_start_utt(d.grammar) < 0) return;
    if (ps_start_utt(d.phoneLoop) < 0) {
        ps_end_utt(d.grammar);
        return;
    }
    d.inUtterance = true;
    d.fed = false;
    d.firstHeld.clear();
    ResetFrontEnd(d.front);
    d.frameLevels.clear();
    d.sound.clear();
    d.frameEnergy = 0;
    d.frameFill = 0;
}

namespace {

void Dither(std::vector<int16_t>& sound, uint32_t& state, int amplitude) {
    for (int16_t& s : sound) {
        state = state * 1664525u + 1013904223u;
        const int noise = int((state >> 8) % uint32_t(2 * amplitude + 1)) - amplitude;
        s = int16_t(std::clamp(int(s) + noise, -32768, 32767));
    }
}

// The first utterance since the decoders opened starts from the model's cepstral mean, which lies far
// from any one microphone's: a short phrase said first ("hello") was refused where the same sound said
// later was heard. Its own mean, from all of it kept so far (the lead and the first words, or all of it
// when the level was set at the release), is the decoders' starting point instead; later utterances carry
// the mean on from the ones before.
void SeedCepstralMean(Decoders& d, const std::vector<int16_t>& sound) {
    Cepstra c;
    if (!ComputeCepstra(d.grammar, sound, c)) return;
    cmn_live_set(ps_get_feat(d.grammar)->cmn_struct, c.mean.data());
    cmn_live_set(ps_get_feat(d.phoneLoop)->cmn_struct, c.mean.data());
}

// The front end's output to both decoders.
void Decode(Decoders& d) {
    if (d.scratch.empty()) return;
    // Exact digital silence upsets the decoder's noise and energy estimates: a faint dither makes it
    // sound like the quiet input of a real microphone. The first utterance's mean is taken from the kept
    // sound as the decoders will hear it, dither and all (a microphone behind a noise gate gives zeros).
    if (!d.fed && !d.meanCarried) {
        std::vector<int16_t> kept = KeptSound(d.front);
        uint32_t state = d.ditherState;
        Dither(kept, state, d.ditherAmplitude);
        SeedCepstralMean(d, kept);
    }
    Dither(d.scratch, d.ditherState, d.ditherAmplitude);
    // Loudness of each 10 ms frame, for the check that something rose above the background.
    for (int16_t v : d.scratch) {
        d.frameEnergy += double(v) * v;
        if (++d.frameFill == kCaptureRate / 100) {
            d.frameLevels.push_back(10 * std::log10(d.frameEnergy / d.frameFill + 1));
            d.frameEnergy = 0;
            d.frameFill = 0;
        }
    }
    d.sound.insert(d.sound.end(), d.scratch.begin(), d.scratch.end());
    ps_process_raw(d.grammar, d.scratch.data(), d.scratch.size(), FALSE, FALSE);
    ps_process_raw(d.phoneLoop, d.scratch.data(), d.scratch.size(), FALSE, FALSE);
    d.fed = true;
}

// The front end has set the level again: the decoders start the utterance over.
void StartOver(Decoders& d) {
    if (!d.front.restarted || !d.fed) return;
    ps_end_utt(d.grammar);
    ps_end_utt(d.phoneLoop);
    ps_start_utt(d.grammar);
    ps_start_utt(d.phoneLoop);
    d.frameLevels.clear();
    d.sound.clear();
    d.frameEnergy = 0;
    d.frameFill = 0;
}

// The first utterance since the decoders opened is decoded at the release, from its own mean taken from
// all of it: heard from the microphone's chunks, it is decoded as the same sound from a file is, rather
// than from a mean of the lead and the first syllables, which fitted short phrases otherwise than their
// files did. It costs that one utterance's decoding time after the release.
bool HoldingFirst(Decoders& d) {
    if (d.meanCarried) return false;
    if (d.front.restarted) d.firstHeld.clear();
    d.firstHeld.insert(d.firstHeld.end(), d.scratch.begin(), d.scratch.end());
    return true;
}

} // namespace

void FeedUtterance(Decoders& d, const int16_t* samples, size_t count) {
    if (!d.inUtterance || count == 0) return;
    RunFrontEnd(d.front, samples, count, d.scratch);
    if (HoldingFirst(d)) return;
    StartOver(d);
    Decode(d);
}

UtteranceVerdict EndUtterance(Decoders& d, bool judge) {
    UtteranceVerdict verdict;
    if (!d.inUtterance) return verdict;
    if (judge) {
        FlushFrontEnd(d.front, d.scratch);
        if (HoldingFirst(d)) {
            d.scratch.swap(d.firstHeld);
            d.firstHeld.clear();
        }
        StartOver(d);
        Decode(d);
    }
    d.inUtterance = false;
    verdict.levelDb = d.front.speechDb;
    verdict.gainDb = 20 * std::log10(d.front.gain);
    verdict.levelRestarts = d.front.restarts;
    ps_end_utt(d.grammar);
    ps_end_utt(d.phoneLoop);
    if (!judge) return verdict;
    d.meanCarried = d.meanCarried || d.fed;
    int32 score = 0;
    const char* hyp = ps_get_hyp(d.grammar, &score);
    verdict.frames = ps_get_n_frames(d.grammar);
    if (!hyp || !*hyp || verdict.frames <= 0) return verdict;
    verdict.heard = hyp;
    verdict.speechFrames = SpeechFrames(d.grammar);
    verdict.garbage = verdict.heard.find(kGarbagePrefix) != std::string::npos;
    // How much worse the phrase explains the sound than free phones do, per 10 ms frame of words: near
    // or above 0 when the words fit, far below when the grammar forced them on the sound.
    int32 loopScore = 0;
    ps_get_hyp(d.phoneLoop, &loopScore);
    // The phrase's score carries the cost of choosing it among the grammar's phrases, the same whatever its
    // length: it is taken out, so that a short phrase is not held to a stricter fit than a long one.
    logmath_t* lmath = ps_get_logmath(d.grammar);
    const float lw = float(cmd_ln_float32_r(ps_get_config(d.grammar), "-lw"));
    const int32 choice = int32(logmath_log(lmath, 1.0 / double(d.phrases.size())) * lw) >> kPathScoreShift;
    verdict.fitPerFrame = double(score - choice - loopScore) / std::max(1, verdict.speechFrames);
    verdict.riseDb = LoudnessRise(d.frameLevels);
    // How long the words last for their phones, and how much of the loud sound lies outside them.
    const std::vector<Span> words = PathSpans(d.grammar);
    int phoneCount = 0;
    for (const Span& w : words) {
        if (char* pron = ps_lookup_word(d.grammar, w.word.c_str())) {
            phoneCount += int(Words(pron).size());
            ckd_free(pron);
        }
    }
    verdict.framesPerPhone = double(verdict.speechFrames) / std::max(1, phoneCount);
    verdict.uncovered = UncoveredLoudShare(d.frameLevels, verdict.riseDb, words);
    verdict.worstWordFit = WorstWordFit(words, PathSpans(d.phoneLoop, true), verdict.frames);
    const bool oneWordInNoise = words.size() == 1 && verdict.riseDb < kNoisyRiseDb;
    verdict.accepted = verdict.riseDb >= d.minimumRiseDb && !verdict.garbage &&
                       verdict.fitPerFrame > d.fitThreshold && verdict.worstWordFit > d.worstWordThreshold &&
                       verdict.framesPerPhone >= d.minimumFramesPerPhone &&
                       verdict.uncovered <= d.maximumUncovered &&
                       !(oneWordInNoise && verdict.fitPerFrame <= d.oneWordFitInNoise);
    return verdict;
}
