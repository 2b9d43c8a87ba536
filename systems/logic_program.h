// The evaluation program: a compact copy of the compiled logic, built once after compiling, that the
// monitor runs on every pass. Its records sit in a few flat lists in model order and hold the addresses of
// the values they read, so a pass walks memory front to back and never touches names, texts or maps.
#pragma once
#include "systems/logic_ops.h"
#include "systems/logic_types.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

struct OutParameter;

// The operator of a condition that never holds (no operator, an operand that is not a number).
inline constexpr uint8_t kProgramOpNever = 6;

// Bits of ProgramCondition::flags. The first four are fixed when the program is built, the last three are
// the condition's results in the latest evaluation.
enum ProgramConditionFlag : uint8_t {
    kConditionOr = 1,           // OR connector (AND otherwise)
    kConditionNeverTrue = 2,    // a line the compiler could not read as a comparison (op kProgramOpNever)
    kConditionPhrase = 4,       // a phrase condition; `extra` is its index in LogicProgram::phrases
    kConditionPhraseAny = 8,    // its text is exactly "any"
    kConditionLastInput = 16,   // the running result before it
    kConditionResult = 32,      // its own result
    kConditionAccumulated = 64, // the running result after it
    kConditionPhraseSlots = 128 // a phrase with slots; `slotPattern` is its pattern
};

struct ProgramCondition {
    const double* left = nullptr;  // the value the left side reads; nullptr: the constant leftValue
    const double* right = nullptr; // likewise for the right side
    double leftValue = 0;
    double rightValue = 0;
    // A value list: the index in LogicProgram::valueLists of its length, its entries following.
    // A phrase condition: the index of its text in LogicProgram::phrases. Otherwise unused.
    uint32_t extra = 0;
    uint8_t op = 0; // a ConditionOp, or kProgramOpNever for a condition that never holds
    uint8_t flags = 0;
    bool hasList = false;
    int32_t slotPattern = -1; // a phrase with slots: its index in SystemsState::slotPatterns
};

struct ProgramToken {
    // The value the operand reads: a parameter's value, or the token's constant in
    // LogicProgram::constants; unused for a calc result ("CBLOCKn").
    const double* source = nullptr;
    double operand = 0;
    double output = 0;
    int32_t calcIndex = -1;
    int32_t op = 0;
};
struct ProgramCalc {
    uint32_t firstToken = 0;
    uint32_t tokenCount = 0;
    double result = 0;
};

struct ProgramBlock {
    uint32_t firstCondition = 0;
    uint32_t conditionCount = 0;
    uint32_t firstCalc = 0;
    uint32_t calcCount = 0;
    uint32_t firstGrafPoint = 0;
    uint32_t grafPointCount = 0;
    double constValue = 0;
    LogicBlock* record = nullptr; // its execute steps, read when it fires; `fired` is kept equal to ours
    bool fired = false;
    bool hasSteps = false;
};

struct ProgramParameter {
    OutParameter* parameter = nullptr;
    uint32_t firstBlock = 0;
    uint32_t blockCount = 0;
    // The parameter's limits, fixed once it is loaded; copied here so that a pass need not reach them.
    double min = 0;
    double max = 0;
    bool hasMin = false;
    bool hasMax = false;
    // No block tests a phrase or has execute steps: the evaluation is the logic alone, with nothing for
    // the monitor to see to (EvaluatePlainParameter).
    bool plain = true;
};

// Its tokens hold addresses into its own list of constants: it may be moved (the lists keep their storage)
// but is never copied.
struct LogicProgram {
    bool built = false;
    std::vector<ProgramParameter> parameters; // every out parameter, in model order
    std::vector<ProgramBlock> blocks;
    std::vector<ProgramCondition> conditions;
    std::vector<ProgramCalc> calcs;
    std::vector<ProgramToken> tokens;
    std::vector<GrafPoint> grafPoints;
    std::vector<double> constants;           // the constant operands of calc tokens (never grown once built)
    std::vector<int32_t> valueLists;         // per list: its length, then its entries
    std::vector<const std::string*> phrases; // phrase conditions' texts, as written
    std::vector<double> calcResults;         // scratch of one block: the results "CBLOCKn" reads
};

// Builds the program from the compiled records of the whole model, which it freezes: the program holds
// addresses into it. Called by the logic compiler after every compilation.
void BuildLogicProgram();

// The evaluation of a plain parameter (see ProgramParameter::plain) of an ordinary device: the read step,
// the first block whose conditions hold fires and gives the value, then StoreProgramValue.
void EvaluatePlainParameter(LogicProgram& program, const ProgramParameter& pp);
// The end of every parameter's evaluation with its new value x: the limits, the value stored by the
// parameter's type, and the write through an active write link.
void StoreProgramValue(const ProgramParameter& pp, double x);

// Records that a program block fired or not, in the block and in its compiled record.
inline void SetProgramBlockFired(ProgramBlock& block, bool fired) {
    if (block.fired == fired) return;
    block.fired = fired;
    block.record->fired = fired;
}

// Copies the results of the latest evaluation (condition values and flags, calc results, token operands
// and outputs) from the program into the compiled records, for whoever reads them between passes.
void CopyProgramResultsToRecords();

// The evaluators of the program, giving the results of the record evaluators of the logic language to
// the bit. They are inline: the monitor calls them for every condition and block of every pass.

inline uint8_t ProgramResultFlags(bool lastInput, bool result, bool accumulated) {
    return static_cast<uint8_t>((lastInput ? kConditionLastInput : 0) | (result ? kConditionResult : 0) |
                                (accumulated ? kConditionAccumulated : 0));
}
inline constexpr uint8_t kCompiledFlags =
    kConditionOr | kConditionNeverTrue | kConditionPhrase | kConditionPhraseAny | kConditionPhraseSlots;

// A phrase with slots against the phrase heard (logic.h).
bool MatchHeardSlots(int32_t pattern, const std::string& heardPhrase);

inline bool CombineProgramCondition(ProgramCondition& c, bool running, bool own) {
    const bool combined = (c.flags & kConditionOr) ? (running || own) : (running && own);
    c.flags = static_cast<uint8_t>((c.flags & kCompiledFlags) | ProgramResultFlags(running, own, combined));
    return combined;
}

inline bool EvaluateProgramCondition(const LogicProgram& program, ProgramCondition& c, bool running) {
    if (c.left) c.leftValue = *c.left;
    if (c.right) c.rightValue = *c.right;
    std::span<const int32_t> list;
    if (c.hasList)
        list = std::span<const int32_t>(program.valueLists.data() + c.extra + 1,
                                        static_cast<size_t>(program.valueLists[c.extra]));
    // A condition that never holds has an operator no comparison knows.
    const bool own = CompareOperands(c.op, c.leftValue, c.rightValue, c.hasList, list);
    return CombineProgramCondition(c, running, own);
}

inline bool EvaluateProgramPhraseCondition(const LogicProgram& program, ProgramCondition& c, bool running,
                                           const std::string& heardPhrase) {
    bool own = false;
    if (heardPhrase.empty() || (c.flags & kConditionNeverTrue))
        own = false;
    else if (c.flags & kConditionPhraseSlots)
        own = MatchHeardSlots(c.slotPattern, heardPhrase);
    else
        own = (c.flags & kConditionPhraseAny) || heardPhrase == *program.phrases[c.extra];
    return CombineProgramCondition(c, running, own);
}

inline double EvaluateProgramBlockValue(LogicProgram& program, const ProgramBlock& block, double input) {
    double x = input;
    if (block.calcCount > 0) {
        double* results = program.calcResults.data();
        size_t resultCount = 0;
        double last = 0;
        ProgramCalc* calc = program.calcs.data() + block.firstCalc;
        ProgramCalc* const end = calc + block.calcCount;
        for (; calc != end; ++calc) {
            if (calc->tokenCount == 0) {
                calc->result = last = block.constValue;
                continue;
            }
            double accumulator = input;
            ProgramToken* token = program.tokens.data() + calc->firstToken;
            ProgramToken* const tokensEnd = token + calc->tokenCount;
            for (; token != tokensEnd; ++token) {
                if (token->calcIndex != -1) {
                    // A result not computed (yet) leaves the operand as it was.
                    if (token->calcIndex >= 0 && static_cast<size_t>(token->calcIndex) < resultCount)
                        token->operand = results[token->calcIndex];
                } else {
                    token->operand = *token->source;
                }
                accumulator = ApplyCalcOp(token->op, accumulator, token->operand);
                token->output = accumulator;
            }
            calc->result = last = accumulator;
            results[resultCount++] = accumulator;
        }
        x = last;
    }
    if (block.grafPointCount > 1) {
        x = InterpolateGraf(std::span<const GrafPoint>(program.grafPoints.data() + block.firstGrafPoint,
                                                       block.grafPointCount),
                            x);
    }
    return x;
}
