// The evaluation program's records: a compact copy of the compiled logic that the monitor runs on every
// pass, in a few flat lists in model order holding the addresses of the values they read, so a pass walks
// memory front to back and never touches names, texts or maps. The model keeps the program.
#pragma once
#include "systems/logic_types.h"

#include <cstdint>
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
