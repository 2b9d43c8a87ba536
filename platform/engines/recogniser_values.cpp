// The built-in recogniser's judgement of a value heard in a phrase with slots: the utterance decoded again
// through that phrase's own graph, with the cepstral mean of the utterance itself rather than the one the
// live decoding carried over from the sounds before it, must prefer its value by a margin to every saying
// of the phrase with another value.
#include "platform/engines/recogniser_values.h"

#include "platform/engines/recogniser_cepstra.h"
#include "platform/engines/recogniser_parts.h"

#include <pocketsphinx.h>

#include <algorithm>
#include <cmath>

namespace {

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

std::string Joined(const std::vector<std::string>& words) {
    std::string text;
    for (const std::string& w : words) text += (text.empty() ? "" : " ") + w;
    return text;
}

// The word as a value reads it: the words that say the same thing taken as one ("niner" and "nine", "oh"
// and "zero", "point" and "decimal", and a letter's two spellings, which sound the same).
std::string ValueWord(const std::string& w) {
    if (w == "niner") return "nine";
    if (w == "oh") return "zero";
    if (w == "point") return "decimal";
    if (w == "alfa") return "alpha";
    if (w == "juliett") return "juliet";
    if (w == "whisky") return "whiskey";
    return w;
}

// The best path score of the cepstra decoded again through this graph (from state 0 to `final`), in a
// search of the grammar's decoder of its own, with the utterance's own cepstral mean; `kNoPath` when no path
// of the graph reaches its end within the decoder's beams. The live mean is left as the phrases' decoding
// left it, for the next utterance.
int DecodeAgain(Decoders& d, const Cepstra& cepstra, const SlotGraph& graph, int final, std::string& hyp) {
    logmath_t* lmath = ps_get_logmath(d.grammar);
    const float lw = float(cmd_ln_float32_r(ps_get_config(d.grammar), "-lw"));
    fsg_model_t* fsg = fsg_model_init("again", lmath, lw, graph.stateCount);
    fsg->start_state = 0;
    fsg->final_state = final;
    for (const SlotArc& arc : graph.arcs)
        fsg_model_trans_add(fsg, arc.from, arc.to, 0, fsg_model_word_add(fsg, arc.word.c_str()));
    for (const auto& [a, b] : graph.nulls) fsg_model_null_trans_add(fsg, a, b, 0);
    if (!graph.nulls.empty()) glist_free(fsg_model_null_trans_closure(fsg, nullptr));
    const std::string search = ps_get_search(d.grammar);
    cmn_t* cmn = ps_get_feat(d.grammar)->cmn_struct;
    const CarriedMean live = KeepCarriedMean(cmn);
    int result = kNoPath;
    if (ps_set_fsg(d.grammar, "again", fsg) >= 0 && ps_set_search(d.grammar, "again") >= 0) {
        cmn_live_set(cmn, cepstra.mean.data());
        if (ps_start_utt(d.grammar) >= 0) {
            // The library normalises the cepstra in place: it is given a copy.
            const size_t width = cepstra.mean.size();
            std::vector<mfcc_t> copy(size_t(cepstra.count) * width);
            std::vector<mfcc_t*> rows(size_t(cepstra.count));
            for (size_t f = 0; f < rows.size(); ++f) {
                rows[f] = copy.data() + f * width;
                std::copy(cepstra.frames[f], cepstra.frames[f] + width, rows[f]);
            }
            ps_process_cep(d.grammar, rows.data(), cepstra.count, FALSE, FALSE);
            ps_end_utt(d.grammar);
            int32 score = 0;
            const char* text = ps_get_hyp(d.grammar, &score);
            if (text && *text) {
                result = score;
                hyp = text;
            }
        }
    }
    fsg_model_free(fsg);
    ps_set_search(d.grammar, search.c_str());
    RestoreCarriedMean(cmn, live);
    return result;
}

} // namespace

SlotGraph PhraseGraphOf(const PhrasePattern& pattern) {
    SlotGraph g;
    int from = 0;
    for (size_t i = 0; i < pattern.elements.size(); ++i) {
        const PhraseElement& e = pattern.elements[i];
        const int to = i + 1 == pattern.elements.size() ? 1 : g.stateCount++;
        if (e.slot < 0) {
            g.arcs.push_back({from, to, e.word});
        } else {
            const SlotGraph slot = BuildSlotGraph(pattern.slots[size_t(e.slot)]);
            std::vector<int> state(size_t(slot.stateCount));
            state[0] = from;
            state[1] = to;
            for (size_t k = 2; k < state.size(); ++k) state[k] = g.stateCount++;
            for (const SlotArc& arc : slot.arcs)
                g.arcs.push_back({state[size_t(arc.from)], state[size_t(arc.to)], arc.word});
            for (const auto& [a, b] : slot.nulls) g.nulls.push_back({state[size_t(a)], state[size_t(b)]});
        }
        from = to;
    }
    return g;
}

// The phrase's graph walked beside the sayings to leave out, kept as a tree of their words: each of its
// states once for every node of the tree (the words said so far match that far into some saying) and once
// for "has differed"; the end is reached when the words have differed, or stopped where no saying ends.
SlotGraph ValueRivals(const PhrasePattern& pattern, const std::vector<std::vector<std::string>>& sayings) {
    const SlotGraph g = PhraseGraphOf(pattern);
    struct Node {
        std::vector<std::pair<std::string, int>> next; // word as a value reads it, child
        bool ends = false;                             // a saying left out ends here
    };
    std::vector<Node> tree(1);
    for (const std::vector<std::string>& saying : sayings) {
        int at = 0;
        for (const std::string& w : saying) {
            const std::string word = ValueWord(w);
            int child = -1;
            for (const auto& [key, node] : tree[size_t(at)].next)
                if (key == word) child = node;
            if (child < 0) {
                child = int(tree.size());
                tree[size_t(at)].next.push_back({word, child});
                tree.emplace_back();
            }
            at = child;
        }
        tree[size_t(at)].ends = true;
    }
    const int nodes = int(tree.size());
    const int differed = nodes;
    const int width = nodes + 1;
    auto id = [&](int state, int node) { return state * width + node; };
    SlotGraph r;
    r.stateCount = g.stateCount * width + 1;
    const int end = r.stateCount - 1;
    for (const SlotArc& arc : g.arcs) {
        const std::string word = ValueWord(arc.word);
        for (int node = 0; node < nodes; ++node) {
            int to = differed;
            for (const auto& [key, child] : tree[size_t(node)].next)
                if (key == word) to = child;
            r.arcs.push_back({id(arc.from, node), id(arc.to, to), arc.word});
        }
        r.arcs.push_back({id(arc.from, differed), id(arc.to, differed), arc.word});
    }
    for (const auto& [a, b] : g.nulls)
        for (int node = 0; node <= differed; ++node) r.nulls.push_back({id(a, node), id(b, node)});
    for (int node = 0; node <= differed; ++node)
        if (node == differed || !tree[size_t(node)].ends) r.nulls.push_back({id(1, node), end});
    return r; // its start, state 0 of the phrase with nothing said, is id(0, 0) = 0
}

namespace {

// Whether two sayings of one phrase give the same values: "four thousand" and "four thousand feet", "one
// two one decimal six" and "one two one decimal six zero" do.
bool SameValues(const std::vector<SlotValue>& a, const std::vector<SlotValue>& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::fabs(a[i].value - b[i].value) > 1e-6) return false;
    return true;
}

} // namespace

ValueCertainty JudgeValues(Decoders& d, const std::string& heard, double leastMargin) {
    ValueCertainty c;
    c.phrase = heard;
    if (!d.grammar) return c;
    const std::vector<std::string> words = SpokenWords(heard);
    // Words that a fixed phrase and a slot both say ("flaps up" beside "flaps {up=0|one|five}") are checked
    // as a value: the slot's block acts on them as one.
    PhrasePattern pattern;
    std::vector<SlotValue> heardValues;
    for (const std::string& phrase : d.phrases) {
        if (!HasSlotNotation(phrase)) continue;
        pattern = ParsePhrasePattern(phrase);
        if ((c.hasSlots = MatchPhrasePattern(pattern, words, heardValues))) break;
    }
    if (!c.hasSlots) return c;
    c.certain = false;
    Cepstra cepstra;
    if (d.sound.empty() || !ComputeCepstra(d.grammar, d.sound, cepstra)) return c;
    std::string again;
    const int againScore = DecodeAgain(d, cepstra, PhraseGraphOf(pattern), 1, again);
    const std::vector<std::string> againWords = SpokenWords(again);
    std::vector<SlotValue> againValues;
    if (againScore == kNoPath || !MatchPhrasePattern(pattern, againWords, againValues)) return c;
    c.heardAgain = again;
    c.agrees = SameValues(againValues, heardValues);
    // Where the two differ, the second decoding is the one weighed: the live one normalised the sound
    // with a mean carried over from other sounds, and was the one that erred in most such cases.
    if (!c.agrees) c.phrase = Joined(againWords);
    // The best saying of another value: a saying of the same value in other words ("feet" after the
    // number, a zero after a frequency's last digit) is left out and the search made again.
    std::vector<std::vector<std::string>> leftOut = {againWords};
    int rivalScore = kNoPath;
    for (int search = 0; search < kMostSameValueRivals; ++search) {
        const SlotGraph rivals = ValueRivals(pattern, leftOut);
        std::string rival;
        rivalScore = DecodeAgain(d, cepstra, rivals, rivals.stateCount - 1, rival);
        c.rival = rival;
        std::vector<SlotValue> rivalValues;
        const std::vector<std::string> rivalWords = SpokenWords(rival);
        if (rivalScore == kNoPath || !MatchPhrasePattern(pattern, rivalWords, rivalValues) ||
            !SameValues(rivalValues, againValues))
            break;
        leftOut.push_back(rivalWords);
    }
    // No rival reached the end within the decoder's beams: they all lie far behind. After as many
    // sayings of the same value as are looked through, the last one found stands for the rivals.
    c.margin = rivalScore == kNoPath ? 1e9 : double(againScore) - rivalScore;
    c.certain = c.margin >= leastMargin;
    return c;
}

void TakeValues(Decoders& d, UtteranceVerdict& verdict) {
    const ValueCertainty c = JudgeValues(d, verdict.heard);
    verdict.accepted = c.certain;
    if (c.certain) verdict.heard = c.phrase;
}

bool ComputeCepstra(ps_decoder_t* decoder, const std::vector<int16_t>& sound, Cepstra& c) {
    fe_t* fe = fe_init_auto_r(ps_get_config(decoder));
    if (!fe) return false;
    fe_start_utt(fe);
    const bool ok = fe_process_utt(fe, sound.data(), sound.size(), &c.frames, &c.count) >= 0 && c.count > 0;
    const int size = fe_get_output_size(fe);
    fe_free(fe);
    if (!ok) return false;
    std::vector<double> sum(size_t(size), 0.0);
    for (int32 f = 0; f < c.count; ++f)
        for (int i = 0; i < size; ++i) sum[size_t(i)] += double(c.frames[f][i]);
    for (double v : sum) c.mean.push_back(mfcc_t(v / c.count));
    return true;
}

CarriedMean KeepCarriedMean(cmn_t* cmn) {
    CarriedMean kept;
    kept.mean.assign(cmn->cmn_mean, cmn->cmn_mean + cmn->veclen);
    kept.sum.assign(cmn->sum, cmn->sum + cmn->veclen);
    kept.frames = cmn->nframe;
    return kept;
}

void RestoreCarriedMean(cmn_t* cmn, const CarriedMean& kept) {
    if (kept.mean.size() != size_t(cmn->veclen)) return;
    std::copy(kept.mean.begin(), kept.mean.end(), cmn->cmn_mean);
    std::copy(kept.sum.begin(), kept.sum.end(), cmn->sum);
    cmn->nframe = kept.frames;
}
