// The logic compiler and evaluators (bodies being written).
#include "systems/logic.h"

const char* const kExecuteKindNames[kExecuteKindCount] = {
    "say:",      "say and wait:", "position:", "break:", "cmd once:",   "cmd begin:", "cmd end:",
    "pause:",    "set value:",    "input:",    "pass:",  "cmd endnow:", "answer:"};

void CompileLogic() {}
void CompileParameterLogic(int32_t, int32_t, int32_t) {}
ParamRef ResolveParamRef(int32_t, int32_t, int32_t, const std::string&) { return ParamRef{}; }
double GetParamValue(const ParamRef& ref) {
    OutParameter* p = ParameterOf(ref);
    return p ? p->value : 0;
}
bool EvaluateCondition(Condition&, bool running) { return running; }
bool EvaluatePhraseCondition(Condition&, bool running, const std::string&) { return running; }
double EvaluateCalcToken(CalcToken&, double accumulator, std::span<const double>) { return accumulator; }
double InterpolateGraf(std::span<const GrafPoint>, double) { return 0; }
double EvaluateBlockValue(LogicBlock&, double input) { return input; }
double BinaryDigitsToInteger(double) { return 0; }
