// The logic compiler, which turns each out parameter's logic lines into blocks of resolved records once
// after loading, and the evaluators the monitor runs on those records on every pass.
#include "systems/logic.h"

#include "base/helpers.h"
#include "base/log.h"
#include "poses/pose_catalogue.h"
#include "systems/phrase_context.h"
#include "systems/logic_ops.h"
#include "systems/logic_program.h"
#include "systems/numbers.h"

#include <cassert>
#include <cmath>
#include <cstdio>

const char* const kExecuteKindNames[kExecuteKindCount] = {
    "say:",   "say and wait:", "position:", "break:", "cmd once:",   "cmd begin:", "cmd end:",
    "pause:", "set value:",    "input:",    "pass:",  "cmd endnow:", "answer:"};

namespace {
// The parameter being compiled, for lookups and for the log lines that name it.
struct CompileContext {
    int32_t system;
    int32_t device;
    int32_t parameter;
    std::string ownerName;
    std::string origin; // where the line being compiled came from ("file line N"), when known
};

void Skip(const CompileContext& at, const std::string& what, const std::string& line) {
    ReportSystemsProblem("Logic of " + at.ownerName + ": " + what + ", skipped: " + line);
}

bool Contains(const std::string& s, const char* part) {
    return s.find(part) != std::string::npos;
}

// The text with its first "[" and its first "]" removed.
std::string StripBrackets(const std::string& text) {
    return ReplaceFirst(ReplaceFirst(text, "[", ""), "]", "");
}

// A number text as the logic reads it: IsNumber holds and the leading conversion succeeds.
bool ReadNumberText(const std::string& text, double& value) {
    return IsNumber(text) && ReadLeadingDouble(text, value);
}

void CompilePhraseCondition(Condition& condition, const std::string& line, const CompileContext& at) {
    condition.left.kind = kRefPhrase;
    condition.phraseText = ReplaceFirst(line, "instring=", "");
    condition.phraseIsAny = condition.phraseText == "any";
    condition.phrase = RegisterPhrase(condition.phraseText);
    if (!condition.phrase.hasSlots) return;
    if (!condition.phrase.slotError.empty()) {
        // Not in the grammar, and never heard: the block it guards does not fire.
        condition.neverTrue = true;
        std::string where = at.ownerName;
        if (!at.origin.empty()) where += " (" + at.origin + ")";
        ReportSystemsProblem("Logic of " + where + ": " + condition.phrase.slotError +
                             "; the phrase is left out and the condition never holds: " + line);
        return;
    }
    std::vector<PhrasePattern>& patterns = Systems().slotPatterns;
    condition.slotPattern = static_cast<int32_t>(patterns.size());
    patterns.push_back(ParsePhrasePattern(condition.phrase.text));
}

// One side of a comparison: a number kept as it stands, or a parameter name resolved to its indices. A
// number that does not convert makes the condition one that never holds.
void CompileOperand(Condition& condition, const std::string& text, const char* side, ParamRef& ref,
                    double& value, const std::string& line, const CompileContext& at) {
    if (!IsNumber(text)) {
        ref = ResolveParamRef(at.system, at.device, at.parameter, text);
        return;
    }
    if (!ReadLeadingDouble(text, value)) {
        condition.neverTrue = true;
        ReportSystemsProblem("Logic of " + at.ownerName + ": " + side + " operand \"" + text +
                             "\" is not a number, the condition never holds: " + line);
    }
}

void CompileComparison(Condition& condition, const std::string& line, const CompileContext& at) {
    static const struct {
        const char* text;
        int32_t op;
    } kOperators[] = {{"==", kOpEqual},    {">=", kOpGreaterEqual}, {"<=", kOpLessEqual},
                      {"!=", kOpNotEqual}, {">", kOpGreater},       {"<", kOpLess}};
    const char* found = nullptr;
    for (const auto& candidate : kOperators) {
        if (Contains(line, candidate.text)) {
            found = candidate.text;
            condition.op = candidate.op;
            break;
        }
    }
    if (!found) {
        // Kept, so that the block still has a condition, but it never holds.
        condition.left.kind = kRefUnresolved;
        condition.neverTrue = true;
        ReportSystemsProblem("Logic of " + at.ownerName +
                             ": condition without a comparison operator never holds: " + line);
        return;
    }
    std::vector<std::string> pieces = SplitAt(ReplaceFirst(line, found, ","), ',');
    std::string leftText = StripBrackets(pieces[0]);
    std::string rightText = pieces.size() > 1 ? StripBrackets(pieces[1]) : std::string();

    CompileOperand(condition, leftText, "left", condition.left, condition.leftValue, line, at);

    if (Contains(rightText, ";")) {
        for (const std::string& piece : SplitAt(rightText, ';')) {
            int entry = 0;
            if (IsNumber(piece) && ReadLeadingInt(piece, entry)) {
                condition.valueList.push_back(entry);
            } else if (!piece.empty()) {
                Skip(at, "list entry \"" + piece + "\" is not a whole number", line);
            }
        }
    } else {
        CompileOperand(condition, rightText, "right", condition.right, condition.rightValue, line, at);
    }
}

void CompileCondition(LogicBlock& block, const std::string& line, int32_t connectorMode,
                      const CompileContext& at) {
    Condition& condition = block.conditions.emplace_back();
    condition.connectorMode = connectorMode;
    if (Contains(line, "instring=")) {
        CompilePhraseCondition(condition, line, at);
    } else {
        CompileComparison(condition, line, at);
    }
}

int32_t CalcOpOfText(const std::string& text) {
    if (text == "+") return kCalcAdd;
    if (text == "-") return kCalcSub;
    if (text == "*") return kCalcMul;
    if (text == "/") return kCalcDiv;
    if (text == "b2i") return kCalcB2i;
    if (text == "flr") return kCalcFlr;
    return kCalcLoad;
}

void CompileCalc(LogicBlock& block, const std::string& line, const CompileContext& at) {
    const std::string text = ReplaceAll(line, "calc=", "");
    CalcExpr& calc = block.calcs.emplace_back();
    std::vector<std::string> pieces = SplitAt(text, ']');
    for (size_t i = 0; i + 1 < pieces.size(); ++i) {
        const std::string& piece = pieces[i];
        size_t open = piece.find('[');
        if (open == std::string::npos) {
            Skip(at, "calc item \"" + piece + "]\" has no \"[\"", line);
            continue;
        }
        CalcToken token;
        token.op = CalcOpOfText(piece.substr(0, open));
        std::string operand = piece.substr(open + 1);
        if (IsNumber(operand)) {
            if (!ReadLeadingDouble(operand, token.constant)) {
                Skip(at, "calc operand \"" + operand + "\" is not a number", line);
                continue;
            }
        } else if (Contains(operand, "CBLOCK")) {
            int index = -1;
            if (!ReadLeadingInt(ReplaceFirst(operand, "CBLOCK", ""), index) || index < 0) {
                Skip(at, "calc operand \"" + operand + "\" names no calc result", line);
                continue;
            }
            token.calcIndex = index;
        } else {
            token.ref = ResolveParamRef(at.system, at.device, at.parameter, operand);
        }
        calc.tokens.push_back(std::move(token));
    }
    double constant = 0;
    block.constValue = ReadNumberText(StripBrackets(text), constant) ? constant : 0;
}

void CompileGraf(LogicBlock& block, const std::string& line, const CompileContext& at) {
    std::vector<std::string> pieces = SplitAt(ReplaceAll(line, "graf=", ""), ',');
    GrafPoint point;
    if (pieces.size() < 2) {
        Skip(at, "graph point needs x and y", line);
    } else if (!ReadLeadingDouble(pieces[0], point.x) || !ReadLeadingDouble(pieces[1], point.y)) {
        Skip(at, "graph point is not a pair of numbers", line);
    } else {
        block.graf.push_back(point);
    }
}

void CompileExecute(LogicBlock& block, const std::string& line, const CompileContext& at) {
    std::vector<std::string> pieces = SplitAt(ReplaceAll(line, "execute=", ""), ',');
    if (pieces.size() < 3) {
        Skip(at, "execute line needs kind, text and value", line);
        return;
    }
    ExecuteStep step;
    int kind = 0;
    if (!ReadLeadingInt(pieces[0], kind)) {
        Skip(at, "execute kind \"" + pieces[0] + "\" is not a number", line);
        return;
    }
    step.kind = kind;
    // An empty value means none: 0.
    if (!pieces[2].empty() && !ReadLeadingDouble(pieces[2], step.value)) {
        Skip(at, "execute value \"" + pieces[2] + "\" is not a number", line);
        return;
    }
    step.text = ReplaceAll(pieces[1], ";", ",");
    step.poseUnknown = step.kind == kExecPosition && FindPose(step.text) < 0;
    block.executeSteps.push_back(std::move(step));
}

// The result of one condition, combined with the running result by its connector.
bool Combine(Condition& condition, bool running, bool own) {
    bool combined = condition.connectorMode == kConnectOr ? (running || own) : (running && own);
    condition.lastInput = running;
    condition.result = own;
    condition.accumulated = combined;
    return combined;
}

} // namespace

namespace {
void CompileLogicOf(int32_t system, int32_t device, int32_t parameter) {
    OutParameter& owner = Systems().systems_vector[system].Devices[device].outParameters[parameter];
    owner.logicBlocks.clear();
    CompileContext at{system, device, parameter, FullParameterName(system, device, parameter), std::string()};
    LogicBlock* block = nullptr;
    int32_t connectorMode = kConnectAnd;
    for (size_t i = 0; i < owner.logicLines.size(); ++i) {
        const std::string& line = owner.logicLines[i];
        at.origin = LogicLineOrigin(owner, i);
        if (line == "logic:") {
            block = &owner.logicBlocks.emplace_back();
            connectorMode = kConnectAnd;
        } else if (Contains(line, "calc=")) {
            if (block) CompileCalc(*block, line, at);
        } else if (Contains(line, "graf=")) {
            if (block) CompileGraf(*block, line, at);
        } else if (Contains(line, "execute=")) {
            if (block) CompileExecute(*block, line, at);
        } else if (line == "&&") {
            connectorMode = kConnectAnd;
        } else if (line == "||") {
            connectorMode = kConnectOr;
        } else if (block) {
            CompileCondition(*block, line, connectorMode, at);
        }
    }
    for (LogicBlock& b : owner.logicBlocks) b.calcResults.reserve(b.calcs.size());
}
} // namespace

void CompileParameterLogic(int32_t system, int32_t device, int32_t parameter) {
    CompileLogicOf(system, device, parameter);
    // The program holds the addresses of the parameter's old records.
    if (Systems().program.built) BuildLogicProgram();
}

void CompileLogic() {
    // Loading is over: from here on the model keeps its shape, and references resolve to addresses.
    FreezeSystemsModel();
    std::vector<System>& systems = Systems().systems_vector;
    for (size_t s = 0; s < systems.size(); ++s) {
        for (size_t d = 0; d < systems[s].Devices.size(); ++d) {
            std::vector<OutParameter>& parameters = systems[s].Devices[d].outParameters;
            for (size_t p = 0; p < parameters.size(); ++p) {
                if (parameters[p].logicLines.empty()) continue;
                CompileLogicOf(static_cast<int32_t>(s), static_cast<int32_t>(d), static_cast<int32_t>(p));
            }
        }
    }
    BuildLogicProgram();
}

namespace {
// A heard value for the log: as short as it reads ("90", "118.025").
std::string SlotValueText(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.10g", value);
    return text;
}

// "{n}", n from 1 to the most slots a phrase may hold: the slot's index (n - 1); -1 for any other text.
int SlotReferenceIndex(const std::string& text) {
    if (text.size() != 3 || text[0] != '{' || text[2] != '}') return -1;
    const int n = text[1] - '0';
    return n >= 1 && n <= kMaxSlotsPerPhrase ? n - 1 : -1;
}
} // namespace

ParamRef ResolveParamRef(int32_t ownerSystem, int32_t ownerDevice, int32_t ownerParameter,
                         const std::string& text) {
    const SystemsState& state = Systems();
    if (const int slot = SlotReferenceIndex(text); slot >= 0)
        return ParamRef{nullptr, kRefSlot, -1, -1, slot, text};
    std::vector<std::string> pieces = SplitAt(text, '.');
    if (pieces.size() >= 3) {
        auto system = state.systemIndex.find(pieces[0]);
        if (system != state.systemIndex.end()) {
            const System& s = state.systems_vector[system->second];
            auto device = s.deviceMap.find(pieces[1]);
            if (device != s.deviceMap.end()) {
                const Device& d = s.Devices[device->second];
                auto parameter = d.outMap.find(pieces[2]);
                if (parameter != d.outMap.end()) {
                    ParamRef ref{nullptr,        kRefParameter,     system->second,
                                 device->second, parameter->second, text};
                    // Only a frozen model keeps its parameters where they are.
                    if (state.frozen) ref.target = ParameterOf(ref);
                    return ref;
                }
            }
        }
    }
    bool hasOwner = ownerSystem >= 0 || ownerDevice >= 0 || ownerParameter >= 0;
    if (!hasOwner) return ParamRef{nullptr, kRefNone, -1, -1, -1, std::string()};
    DebugTrace("Error!!! Cant find parameter: ", text);
    Systems().unresolvedNames.push_back(FullParameterName(ownerSystem, ownerDevice, ownerParameter) + ": " +
                                        text);
    return ParamRef{nullptr, kRefUnresolved, -1, -1, -1, text};
}

double GetParamValue(const ParamRef& ref) {
    if (ref.kind == kRefSlot) return HeardSlotValue(ref.parameter);
    if (ref.target) {
        // The address was taken in a frozen model; the debug check that it still names the parameter.
        assert(Systems().frozen && ref.target == ParameterOf(ref));
        return ref.target->value;
    }
    // A reference made by hand, by its indices only.
    const OutParameter* parameter = ParameterOf(ref);
    return parameter ? parameter->value : 0;
}

bool EvaluateCondition(Condition& condition, bool running) {
    if (condition.left.kind != kRefNone) condition.leftValue = GetParamValue(condition.left);
    if (condition.right.kind != kRefNone) condition.rightValue = GetParamValue(condition.right);
    const double l = condition.leftValue;
    const double r = condition.rightValue;
    const bool own = !condition.neverTrue &&
                     CompareOperands(condition.op, l, r, !condition.valueList.empty(), condition.valueList);
    return Combine(condition, running, own);
}

bool EvaluatePhraseCondition(Condition& condition, bool running, const std::string& heardPhrase) {
    bool own = false;
    if (heardPhrase.empty() || condition.neverTrue)
        own = false;
    else if (condition.slotPattern >= 0)
        own = MatchHeardSlots(condition.slotPattern, heardPhrase);
    else
        own = condition.phraseText == "any" || heardPhrase == condition.phraseText;
    return Combine(condition, running, own);
}

bool MatchHeardSlots(int32_t pattern, const std::string& heardPhrase) {
    SystemsState& state = Systems();
    if (pattern < 0 || static_cast<size_t>(pattern) >= state.slotPatterns.size()) return false;
    std::vector<SlotValue> values;
    if (!MatchPhrasePattern(state.slotPatterns[static_cast<size_t>(pattern)], PhraseWords(heardPhrase),
                            values))
        return false;
    HeardSlots& heard = state.heardSlots;
    heard.count = static_cast<int>(values.size());
    heard.pattern = pattern;
    for (int i = 0; i < kMaxSlotsPerPhrase; ++i) {
        const bool said = static_cast<size_t>(i) < values.size();
        heard.values[i] = said ? values[static_cast<size_t>(i)].value : 0;
        heard.spelled[i] = said ? values[static_cast<size_t>(i)].spelled : std::string();
    }
    return true;
}

std::string HeardSlotsLine() {
    const SystemsState& state = Systems();
    const HeardSlots& heard = state.heardSlots;
    if (heard.pattern < 0 || static_cast<size_t>(heard.pattern) >= state.slotPatterns.size())
        return std::string();
    std::string line =
        "Values heard in \"" + state.slotPatterns[static_cast<size_t>(heard.pattern)].text + "\":";
    for (int i = 0; i < heard.count; ++i) {
        line += i > 0 ? ", {" : " {";
        line += std::to_string(i + 1) + "} = " + SlotValueText(heard.values[i]);
    }
    return line;
}

double HeardSlotValue(int32_t slot) {
    const HeardSlots& heard = Systems().heardSlots;
    return slot >= 0 && slot < kMaxSlotsPerPhrase ? heard.values[slot] : 0;
}

double BinaryDigitsToInteger(double accumulator) {
    if (!std::isfinite(accumulator)) return 0;
    double whole = std::trunc(accumulator);
    // Beyond 32 bits the decimal text would begin with "2": no binary digit.
    if (whole > 2147483647.0 || whole < -2147483648.0) return 0;
    long long n = static_cast<long long>(whole);
    bool negative = n < 0;
    unsigned long long magnitude =
        negative ? static_cast<unsigned long long>(-n) : static_cast<unsigned long long>(n);
    int digits[20];
    int count = 0;
    do {
        digits[count++] = static_cast<int>(magnitude % 10);
        magnitude /= 10;
    } while (magnitude > 0);
    long long value = 0;
    for (int i = count - 1; i >= 0 && digits[i] <= 1; --i) value = value * 2 + digits[i];
    return static_cast<double>(negative ? -value : value);
}

double EvaluateCalcToken(CalcToken& token, double accumulator, std::span<const double> results) {
    if (token.calcIndex != -1) {
        if (token.calcIndex >= 0 && static_cast<size_t>(token.calcIndex) < results.size())
            token.operand = results[token.calcIndex];
    } else if (token.ref.kind != kRefNone) {
        token.operand = GetParamValue(token.ref);
    } else {
        token.operand = token.constant;
    }
    const double output = ApplyCalcOp(token.op, accumulator, token.operand);
    token.output = output;
    return output;
}

double EvaluateBlockValue(LogicBlock& block, double input) {
    double x = input;
    if (!block.calcs.empty()) {
        std::vector<double>& results = block.calcResults;
        // The compiler reserved the room; a copied block may have lost it (allocates once).
        if (results.capacity() < block.calcs.size()) results.reserve(block.calcs.size());
        results.clear();
        for (CalcExpr& calc : block.calcs) {
            if (calc.tokens.empty()) {
                calc.result = block.constValue;
                continue;
            }
            double accumulator = input;
            for (CalcToken& token : calc.tokens) accumulator = EvaluateCalcToken(token, accumulator, results);
            calc.result = accumulator;
            results.push_back(accumulator);
        }
        x = block.calcs.back().result;
    }
    if (block.graf.size() > 1) x = InterpolateGraf(block.graf, x);
    return x;
}

void EvaluateParameterByRecords(OutParameter& p) {
    const double input = ReadInDrf(p);
    double x = input;
    bool anyFired = false;
    for (size_t k = 0; k < p.logicBlocks.size(); ++k) {
        LogicBlock& block = p.logicBlocks[k];
        bool running = true;
        for (Condition& c : block.conditions) running = EvaluateCondition(c, running);
        block.fired = running && !anyFired;
        if (!block.fired) continue;
        anyFired = true;
        p.activeBlock = static_cast<int32_t>(k);
        x = EvaluateBlockValue(block, input);
    }
    if (p.hasMin && x < p.min) x = p.min;
    if (p.hasMax && x > p.max) x = p.max;
    StoreParameterValue(p, x);
}
