// The compiled logic of an out parameter: blocks of conditions, calculations, a graph and flow-step
// templates. Compiled once after loading; the evaluators fill the runtime fields on every pass.
#pragma once
#include "platform/phrase_slots.h"
#include "systems/phrase_context.h"

#include <cstdint>
#include <string>
#include <vector>

enum ParamRefKind : int32_t {
    kRefParameter = 0,  // resolved to (system, device, parameter)
    kRefNone = 2,       // a constant, or an unresolved lookup without an owner
    kRefUnresolved = 4, // the named parameter does not exist; reads as 0
    kRefPhrase = 5,     // left operand of a phrase condition ("instring=")
    kRefSlot = 6,       // "{n}": slot n of the latest phrase with slots heard (`parameter` holds n - 1)
};

struct OutParameter;

// A reference to one out parameter by its three indices, and by its address once resolved. What an
// evaluation reads (the address and the kind) comes first, the name last: a pass is bound by memory, and
// this keeps it off the name's bytes.
struct ParamRef {
    // The parameter itself, taken when the name is resolved. References are resolved only in a frozen
    // model (see FreezeSystemsModel), so the address stays valid for the whole run and an evaluation
    // reads a value without walking system, device and parameter lists.
    OutParameter* target = nullptr;
    int32_t kind = kRefNone;
    int32_t system = -1;
    int32_t device = -1;
    int32_t parameter = -1;
    std::string name; // the reference text as written
};

enum ConditionOp : int32_t { kOpEqual = 0, kOpNotEqual, kOpGreater, kOpLess, kOpGreaterEqual, kOpLessEqual };
enum ConnectorMode : int32_t { kConnectAnd = 0, kConnectOr = 1 };

// The fields an evaluation touches come first, so that it reads one or two cache lines of a condition.
struct Condition {
    double leftValue = 0;
    double rightValue = 0;
    int32_t connectorMode = kConnectAnd;
    int32_t op = kOpEqual;
    bool phraseIsAny = false; // phraseText is exactly "any"
    bool neverTrue = false;   // a line the compiler could not read as a comparison: never holds
    bool lastInput = false;
    bool result = false;
    bool accumulated = false;
    std::vector<int32_t> valueList; // alternatives of a ";" list on the right side
    ParamRef left;
    ParamRef right;
    std::string phraseText;   // a phrase condition's text, as written
    PhraseRecord phrase;      // its normal form, as registered with the phrase context
    int32_t slotPattern = -1; // a phrase with slots: its pattern in SystemsState::slotPatterns
};

enum CalcOp : int32_t { kCalcLoad = 0, kCalcAdd, kCalcSub, kCalcMul, kCalcDiv, kCalcB2i, kCalcFlr };

struct CalcToken {
    int32_t op = kCalcLoad;
    int32_t calcIndex = -1; // "CBLOCKn": the result of the block's n-th calc with tokens
    double operand = 0;
    double constant = 1.0;
    double output = 0;
    ParamRef ref; // the operand when it names a parameter (kind kRefNone otherwise)
};

struct CalcExpr {
    std::vector<CalcToken> tokens;
    double result = 0;
};

// Execute kinds as the files write them, and the names the system gives them.
enum ExecuteKind : int32_t {
    kExecSay = 0,        // "say:"
    kExecSayWait = 1,    // "say and wait:"
    kExecPosition = 2,   // "position:"
    kExecBreak = 3,      // "break:"
    kExecCmdOnce = 4,    // "cmd once:"
    kExecCmdBegin = 5,   // "cmd begin:"
    kExecCmdEnd = 6,     // "cmd end:"
    kExecPause = 7,      // "pause:"
    kExecSetValue = 8,   // "set value:"
    kExecInput = 9,      // "input:"
    kExecPass = 10,      // "pass:"
    kExecCmdEndNow = 11, // "cmd endnow:"
    kExecAnswer = 12,    // "answer:"
};
inline constexpr int kExecuteKindCount = 13;
extern const char* const kExecuteKindNames[kExecuteKindCount];

struct ExecuteStep {
    int32_t kind = kExecSay;
    std::string text; // every ";" of the file turned into ","
    double value = 0;
    bool poseUnknown = false; // position steps: the pose is not in the pose catalogue
};

struct GrafPoint {
    double x = 0;
    double y = 0;
};

struct LogicBlock {
    std::vector<Condition> conditions;
    double constValue = 0;
    bool fired = false;
    std::vector<CalcExpr> calcs;
    std::vector<ExecuteStep> executeSteps;
    std::vector<GrafPoint> graf;
    // The results of the calcs with tokens in the latest evaluation, in order; "CBLOCKn" reads entry n.
    // Its room is reserved by the compiler, so evaluating never allocates.
    std::vector<double> calcResults;
};
