// The logic language: the compiler that turns every parameter's logic lines into blocks, and the
// evaluators the monitor runs on every pass. Evaluation touches no text and no map and never allocates.
#pragma once
#include "systems/logic_ops.h"
#include "systems/model.h"

#include <cstdint>
#include <span>
#include <string>

// Compiles the logic lines of every out parameter, in model order, into its logic blocks, and registers
// the phrases of phrase conditions with the phrase context. Lines it cannot use are logged and skipped.
void CompileLogic();
// Compiles one parameter's lines (the owner indices are used for name lookups and log lines).
void CompileParameterLogic(int32_t system, int32_t device, int32_t parameter);

// Looks a "system.device.parameter" name up; "{1}".."{8}" name the slots of the latest phrase with
// slots heard (kind kRefSlot). With an owner (the parameter being compiled) a failed lookup
// gives kind kRefUnresolved and is noted in the load report; without one (-1, -1, -1) it gives kRefNone
// and an empty name.
ParamRef ResolveParamRef(int32_t ownerSystem, int32_t ownerDevice, int32_t ownerParameter,
                         const std::string& text);
// A flow's or phrase's lookup, without an owner.
inline ParamRef ResolveParamRef(const std::string& text) {
    return ResolveParamRef(-1, -1, -1, text);
}
// The referenced parameter's value; 0 for anything that does not name a parameter.
double GetParamValue(const ParamRef& ref);

// A comparison condition: records leftValue, rightValue, lastInput, result and accumulated, and returns the
// new running result (AND or OR by the condition's connector mode).
bool EvaluateCondition(Condition& condition, bool running);
// A phrase condition against the phrase just heard (empty when none): true when something was heard and
// the text is "any" or equals the condition's text byte for byte; a phrase with slots holds when the
// heard words say it (MatchHeardSlots). Records the result flags as above.
bool EvaluatePhraseCondition(Condition& condition, bool running, const std::string& heardPhrase);
// A phrase with slots against the phrase just heard: true when the heard words say the pattern's phrase,
// and then its values are the heard slots' ("{1}".."{8}" read them); false leaves them as they were.
bool MatchHeardSlots(int32_t pattern, const std::string& heardPhrase);
// The log line of the latest phrase with slots heard: "Values heard in "<phrase>": {1} = 270"; empty
// before any.
std::string HeardSlotsLine();
// The value of slot `slot` (0 for "{1}") of the latest phrase with slots heard; 0 before any.
double HeardSlotValue(int32_t slot);
// Applies one calc token to the accumulator; `results` are the block's calc results so far.
double EvaluateCalcToken(CalcToken& token, double accumulator, std::span<const double> results);
// InterpolateGraf (the graph of a block), with the other arithmetic of the language: logic_ops.h.
// The value of a fired block from its input: the calcs in line order (each calc with tokens starts from
// `input`; a calc without tokens takes constValue), the last calc's result, then the graph when the block
// has at least two points (the graph also maps the input of a block without calcs).
double EvaluateBlockValue(LogicBlock& block, double input);
// "b2i": the accumulator truncated to a 32-bit integer, its decimal digits read as a binary number (101
// gives 5, 12 gives 1, -110 gives -6). NaN, infinities, values beyond 32 bits and texts that do not begin
// with a binary digit give 0.
double BinaryDigitsToInteger(double accumulator);

// The whole evaluation of a parameter whose blocks test no phrase and queue no steps, on its compiled
// records with the evaluators above: the read step, the first block whose conditions hold fires and gives
// the value, the limits, the store step. The monitor runs the evaluation program instead, which must give
// exactly this; tests and benchmarks hold it against this one.
void EvaluateParameterByRecords(OutParameter& parameter);
