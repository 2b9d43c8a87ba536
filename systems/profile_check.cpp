// Counts over the loaded systems model and the list of what in it cannot work.
#include "systems/profile_check.h"

#include "base/helpers.h"
#include "base/log.h"
#include "systems/model.h"
#include "systems/phrase_context.h"

#include <set>
#include <tuple>

namespace {
// The file and line (when the loader kept where lines came from) of the first logic line of the
// parameter that holds `text`, or of its out line when `text` is empty or no logic line holds it.
std::string Origin(const OutParameter& p, const std::string& text) {
    std::string origin;
    for (size_t i = 0; !text.empty() && origin.empty() && i < p.logicLines.size(); ++i)
        if (p.logicLines[i].find(text) != std::string::npos) origin = LogicLineOrigin(p, i);
    return origin.empty() ? OutLineOrigin(p) : origin;
}

// Where a thing of the profile is: its parameter's full name, and the file and line of `text`.
std::string Where(const System& system, const Device& device, const OutParameter& p,
                  const std::string& text) {
    const std::string origin = Origin(p, text);
    const std::string name = system.name + "." + device.name + "." + p.name;
    return origin.empty() ? name : name + " (" + origin + ")";
}

// The phrase conditions the voice can never satisfy. The monitor walks the blocks in model order and a
// block whose conditions hold takes the phrase it tested: a block of an ordinary device that asks for
// nothing but one phrase takes that phrase every time it is said, before any block after it.
void FindUnhearablePhrases(const SystemsState& state, std::vector<std::string>& out) {
    std::set<std::string> takenFirst; // texts as written that an earlier block always takes
    std::string takesAll;             // where an earlier block takes every phrase ("any")
    for (const System& system : state.systems_vector) {
        for (const Device& device : system.Devices) {
            for (const OutParameter& p : device.outParameters) {
                for (const LogicBlock& block : p.logicBlocks) {
                    for (const Condition& c : block.conditions) {
                        if (c.left.kind != kRefPhrase || c.phraseIsAny) continue;
                        const std::string& text = c.phraseText;
                        const std::string where = Where(system, device, p, "instring=" + text);
                        if (text.find('{') != std::string::npos) continue; // slots: matched by their words
                        const std::string normal = NormalisePhrase(text);
                        if (normal.empty())
                            out.push_back(where + ": \"" + text + "\" has no word the captain can say");
                        else if (normal != text)
                            out.push_back(where + ": \"" + text +
                                          "\" is never heard as written: the recogniser hears \"" + normal +
                                          "\"");
                        else if (!takesAll.empty())
                            out.push_back(where + ": \"" + text + "\" is never heard: " + takesAll +
                                          " takes every phrase first (\"any\")");
                        else if (takenFirst.count(text))
                            out.push_back(where + ": \"" + text +
                                          "\" is never heard: an earlier block that asks for nothing else "
                                          "takes it first");
                    }
                    // This block, if it asks for one phrase only, takes it from every block after it.
                    if (device.isStack || block.conditions.size() != 1) continue;
                    const Condition& only = block.conditions[0];
                    if (only.left.kind != kRefPhrase) continue;
                    if (only.phraseIsAny) {
                        if (takesAll.empty()) takesAll = Where(system, device, p, "instring=any");
                    } else {
                        takenFirst.insert(only.phraseText);
                    }
                }
            }
        }
    }
}

void FindUnheardAnswers(const SystemsState& state, std::vector<std::string>& out) {
    std::set<std::string> heard;
    for (const System& system : state.systems_vector)
        for (const Device& device : system.Devices)
            for (const OutParameter& p : device.outParameters)
                for (const LogicBlock& block : p.logicBlocks)
                    for (const Condition& c : block.conditions)
                        if (c.left.kind == kRefPhrase) heard.insert(c.phraseText);
    for (const System& system : state.systems_vector)
        for (const Device& device : system.Devices)
            for (const OutParameter& p : device.outParameters)
                for (const LogicBlock& block : p.logicBlocks)
                    for (const ExecuteStep& step : block.executeSteps)
                        if (step.kind == kExecAnswer && !step.text.empty() && !heard.count(step.text))
                            out.push_back(Where(system, device, p, "execute=12," + step.text) +
                                          ": the answer \"" + step.text +
                                          "\" is shown as expected, but no block hears it");
}

// An item is done when a block of it fires with a step (the sequence then moves on), or when its value
// rises above 0 some other way (a calc, a graph, a read link). An item with none of these never is.
void FindUnfinishableSequences(const SystemsState& state, std::vector<std::string>& out) {
    for (const System& system : state.systems_vector) {
        for (const Device& device : system.Devices) {
            if (!device.isStack) continue;
            for (const OutParameter& p : device.outParameters) {
                bool canBeDone = !p.inDrf.spec.empty();
                bool anyBlock = false;
                for (const LogicBlock& block : p.logicBlocks) {
                    bool holds = true;
                    for (const Condition& c : block.conditions)
                        holds = holds && !(c.neverTrue && c.connectorMode == kConnectAnd);
                    anyBlock = anyBlock || holds;
                    if (holds &&
                        (!block.executeSteps.empty() || !block.calcs.empty() || block.graf.size() >= 2))
                        canBeDone = true;
                }
                if (canBeDone) continue;
                std::string why = p.logicBlocks.empty() ? "it has no logic"
                                  : !anyBlock
                                      ? "none of its blocks can hold"
                                      : "its blocks have no step, calc or graph, so it never counts as done";
                const std::string origin = Origin(p, "");
                out.push_back(system.name + "." + device.name + " can never finish: its item " + p.name +
                              (origin.empty() ? "" : " (" + origin + ")") + " waits for ever: " + why);
                break;
            }
        }
    }
}

// The links the loader wrote to the DRF list, the module's whole knowledge of them: system, device and
// parameter indices with "g" (read) or "s" (write).
std::set<std::tuple<int, int, int, char>> LinksInDrfList() {
    std::set<std::tuple<int, int, int, char>> links;
    const std::string& text = Log().drf.text;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::vector<std::string> f = SplitAt(text.substr(start, end - start), ',');
        start = end + 1;
        int system = 0, device = 0, parameter = 0;
        if (f.size() < 6 || f[5].size() != 1 || !ReadLeadingInt(f[2], system) ||
            !ReadLeadingInt(f[3], device) || !ReadLeadingInt(f[4], parameter))
            continue;
        links.insert({system, device, parameter, f[5][0]});
    }
    return links;
}

void FindLinksNeverSent(const SystemsState& state, std::vector<std::string>& out) {
    const auto listed = LinksInDrfList();
    for (size_t s = 0; s < state.systems_vector.size(); ++s) {
        const System& system = state.systems_vector[s];
        for (size_t d = 0; d < system.Devices.size(); ++d) {
            const Device& device = system.Devices[d];
            for (size_t i = 0; i < device.outParameters.size(); ++i) {
                const OutParameter& p = device.outParameters[i];
                const int si = static_cast<int>(s), di = static_cast<int>(d), pi = static_cast<int>(i);
                if (!p.inDrf.spec.empty() && !listed.count({si, di, pi, 'g'}))
                    out.push_back(
                        Where(system, device, p, "") + ": the read link \"" + p.inDrf.spec +
                        "\" never reaches the module (it takes A:, L:, T: or K: with the mode new or exist)");
                if (!p.outDrf.spec.empty() && !listed.count({si, di, pi, 's'}))
                    out.push_back(
                        Where(system, device, p, "") + ": the write link \"" + p.outDrf.spec +
                        "\" never reaches the module (it takes A: or L: with the mode new or exist)");
            }
        }
    }
}
// Whether a block reads slot values: "{n}" references in its conditions, calcs, code and spoken lines.
bool ReadsSlotValues(const LogicBlock& block) {
    for (const Condition& c : block.conditions)
        if (c.left.kind == kRefSlot || c.right.kind == kRefSlot) return true;
    for (const CalcExpr& calc : block.calcs)
        for (const CalcToken& token : calc.tokens)
            if (token.ref.kind == kRefSlot) return true;
    for (const ExecuteStep& step : block.executeSteps)
        for (size_t at = step.text.find('{'); at != std::string::npos; at = step.text.find('{', at + 1))
            if (at + 2 < step.text.size() && step.text[at + 1] >= '1' && step.text[at + 1] <= '8' &&
                step.text[at + 2] == '}')
                return true;
    return false;
}

// The values of a phrase with slots belong to the utterance its condition heard; a block that reads
// them must hear that phrase first, with nothing after it that lets the block hold without it.
void FindValuesNotHeard(const SystemsState& state, std::vector<std::string>& out) {
    for (const System& system : state.systems_vector)
        for (const Device& device : system.Devices)
            for (const OutParameter& p : device.outParameters)
                for (const LogicBlock& block : p.logicBlocks) {
                    if (!ReadsSlotValues(block)) continue;
                    const bool slotPhraseFirst =
                        !block.conditions.empty() && block.conditions[0].left.kind == kRefPhrase &&
                        block.conditions[0].phraseText.find('{') != std::string::npos;
                    bool orAfter = false;
                    for (size_t i = 1; i < block.conditions.size(); ++i)
                        orAfter = orAfter || block.conditions[i].connectorMode == kConnectOr;
                    const std::string first =
                        block.conditions.empty() ? std::string() : block.conditions[0].phraseText;
                    if (!slotPhraseFirst)
                        out.push_back(
                            Where(system, device, p, "") +
                            ": a block reads values of a phrase with slots, but its first condition is "
                            "not such a phrase: it can act on values heard for another");
                    else if (orAfter)
                        out.push_back(
                            Where(system, device, p, "instring=" + first) + ": the block of \"" + first +
                            "\" has \"||\" after its phrase: it can hold without the phrase, on the "
                            "last values heard");
                }
}
} // namespace

bool ProfileSummary::Clean() const {
    return problems.empty() && unresolvedNames.empty() && unknownPoses.empty() && unhearablePhrases.empty() &&
           unheardAnswers.empty() && unfinishableSequences.empty() && linksNeverSent.empty() &&
           valuesNotHeard.empty();
}

ProfileSummary SummariseSystems() {
    ProfileSummary s;
    const SystemsState& state = Systems();
    s.problems = state.problems;
    s.unresolvedNames = state.unresolvedNames;
    for (const System& system : state.systems_vector) {
        ++s.systems;
        for (const Device& device : system.Devices) {
            ++s.devices;
            s.stackDevices += device.isStack;
            for (const OutParameter& p : device.outParameters) {
                ++s.parameters;
                s.logicLines += static_cast<int>(p.logicLines.size());
                s.readLinks += !p.inDrf.spec.empty();
                s.writeLinks += !p.outDrf.spec.empty();
                for (const LogicBlock& block : p.logicBlocks) {
                    ++s.blocks;
                    s.calcs += static_cast<int>(block.calcs.size());
                    for (const CalcExpr& calc : block.calcs)
                        s.calcTokens += static_cast<int>(calc.tokens.size());
                    s.grafPoints += static_cast<int>(block.graf.size());
                    for (const Condition& c : block.conditions) {
                        ++s.conditions;
                        s.phraseConditions += c.left.kind == kRefPhrase;
                    }
                    for (const ExecuteStep& step : block.executeSteps) {
                        ++s.executeSteps;
                        if (step.kind >= 0 && step.kind < kExecuteKindCount) ++s.stepsOfKind[step.kind];
                        if (step.poseUnknown)
                            s.unknownPoses.push_back(system.name + "." + device.name + "." + p.name + ": " +
                                                     step.text);
                    }
                }
            }
        }
    }
    FindUnhearablePhrases(state, s.unhearablePhrases);
    FindUnheardAnswers(state, s.unheardAnswers);
    FindUnfinishableSequences(state, s.unfinishableSequences);
    FindLinksNeverSent(state, s.linksNeverSent);
    FindValuesNotHeard(state, s.valuesNotHeard);
    return s;
}

std::vector<std::string> DescribeSummary(const ProfileSummary& s) {
    std::vector<std::string> lines;
    lines.push_back(ToString(s.systems) + " systems, " + ToString(s.devices) + " devices (" +
                    ToString(s.stackDevices) + " sequential), " + ToString(s.parameters) + " parameters, " +
                    ToString(s.logicLines) + " logic lines");
    lines.push_back(ToString(s.blocks) + " blocks, " + ToString(s.conditions) + " conditions (" +
                    ToString(s.phraseConditions) + " on phrases), " + ToString(s.calcs) + " calcs, " +
                    ToString(s.grafPoints) + " graph points, " + ToString(s.executeSteps) +
                    " execute steps, " + ToString(s.readLinks) + " read links, " + ToString(s.writeLinks) +
                    " write links");
    std::string kinds = "execute steps by kind:";
    for (int k = 0; k < kExecuteKindCount; ++k)
        kinds += std::string(" ") + kExecuteKindNames[k] + " " + ToString(s.stepsOfKind[k]);
    lines.push_back(kinds);
    lines.push_back(ToString(static_cast<int>(s.problems.size())) + " lines left out, " +
                    ToString(static_cast<int>(s.unresolvedNames.size())) + " unresolved names, " +
                    ToString(static_cast<int>(s.unknownPoses.size())) + " unknown poses");
    for (const std::string& line : s.problems) lines.push_back("left out: " + line);
    for (const std::string& line : s.unresolvedNames) lines.push_back("unresolved: " + line);
    for (const std::string& line : s.unknownPoses) lines.push_back("unknown pose: " + line);
    lines.push_back(
        ToString(static_cast<int>(s.unhearablePhrases.size())) + " phrases no block can hear, " +
        ToString(static_cast<int>(s.unheardAnswers.size())) + " answers nothing hears, " +
        ToString(static_cast<int>(s.unfinishableSequences.size())) + " sequences that can never finish, " +
        ToString(static_cast<int>(s.linksNeverSent.size())) + " links the module never gets, " +
        ToString(static_cast<int>(s.valuesNotHeard.size())) + " blocks that may act on values not heard");
    for (const std::string& line : s.unhearablePhrases) lines.push_back("phrase: " + line);
    for (const std::string& line : s.unheardAnswers) lines.push_back("answer: " + line);
    for (const std::string& line : s.unfinishableSequences) lines.push_back("sequence: " + line);
    for (const std::string& line : s.linksNeverSent) lines.push_back("link: " + line);
    for (const std::string& line : s.valuesNotHeard) lines.push_back("values: " + line);
    return lines;
}
