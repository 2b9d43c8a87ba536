// The evaluation program: built once after compiling from the compiled logic, then run by the monitor on
// every pass (its records: systems/program.h).
#pragma once
#include "systems/logic_ops.h"
#include "systems/program.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

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
