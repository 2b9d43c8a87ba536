// The evaluation program: built from the compiled records of the frozen model, evaluated by the monitor on
// every pass, and copied back into the records when someone wants to read the latest results there.
#include "systems/logic_program.h"

#include "systems/model.h"

#include <cassert>
#include <span>

namespace {
// What an unresolved reference reads.
const double kNothing = 0;

// The value a reference reads: nullptr for a constant (kind none), the parameter's value for a resolved
// reference, a zero for anything else, as GetParamValue gives.
const double* SourceOf(const ParamRef& ref) {
    if (ref.kind == kRefNone) return nullptr;
    if (ref.kind == kRefSlot) {
        // The heard values keep their place for the whole run.
        const HeardSlots& heard = Systems().heardSlots;
        return ref.parameter >= 0 && ref.parameter < kMaxSlotsPerPhrase ? &heard.values[ref.parameter]
                                                                        : &kNothing;
    }
    const OutParameter* parameter = ref.target ? ref.target : ParameterOf(ref);
    return parameter ? &parameter->value : &kNothing;
}

void AddCondition(LogicProgram& program, const Condition& c) {
    ProgramCondition& pc = program.conditions.emplace_back();
    pc.leftValue = c.leftValue;
    pc.rightValue = c.rightValue;
    const bool validOp = c.op >= kOpEqual && c.op <= kOpLessEqual;
    pc.op = validOp && !c.neverTrue ? static_cast<uint8_t>(c.op) : kProgramOpNever;
    uint8_t flags = ProgramResultFlags(c.lastInput, c.result, c.accumulated);
    if (c.connectorMode == kConnectOr) flags |= kConditionOr;
    if (c.left.kind == kRefPhrase) {
        flags |= kConditionPhrase;
        if (c.phraseText == "any") flags |= kConditionPhraseAny;
        if (c.neverTrue) flags |= kConditionNeverTrue;
        if (c.slotPattern >= 0) flags |= kConditionPhraseSlots;
        pc.slotPattern = c.slotPattern;
        pc.extra = static_cast<uint32_t>(program.phrases.size());
        program.phrases.push_back(&c.phraseText);
    } else {
        if (c.neverTrue) flags |= kConditionNeverTrue;
        pc.left = SourceOf(c.left);
        pc.right = SourceOf(c.right);
        pc.hasList = !c.valueList.empty();
        if (pc.hasList) {
            pc.extra = static_cast<uint32_t>(program.valueLists.size());
            program.valueLists.push_back(static_cast<int32_t>(c.valueList.size()));
            program.valueLists.insert(program.valueLists.end(), c.valueList.begin(), c.valueList.end());
        }
    }
    pc.flags = flags;
}

void AddBlock(LogicProgram& program, LogicBlock& b) {
    ProgramBlock& pb = program.blocks.emplace_back();
    pb.record = &b;
    pb.fired = b.fired;
    pb.hasSteps = !b.executeSteps.empty();
    pb.constValue = b.constValue;
    pb.firstCondition = static_cast<uint32_t>(program.conditions.size());
    pb.conditionCount = static_cast<uint32_t>(b.conditions.size());
    for (const Condition& c : b.conditions) AddCondition(program, c);
    pb.firstCalc = static_cast<uint32_t>(program.calcs.size());
    pb.calcCount = static_cast<uint32_t>(b.calcs.size());
    for (const CalcExpr& calc : b.calcs) {
        ProgramCalc& pcalc = program.calcs.emplace_back();
        pcalc.result = calc.result;
        pcalc.firstToken = static_cast<uint32_t>(program.tokens.size());
        pcalc.tokenCount = static_cast<uint32_t>(calc.tokens.size());
        for (const CalcToken& t : calc.tokens) {
            ProgramToken& pt = program.tokens.emplace_back();
            if (t.calcIndex == -1) {
                pt.source = SourceOf(t.ref);
                if (!pt.source) {
                    // Room for every token was reserved: the list never moves, and the address holds.
                    assert(program.constants.size() < program.constants.capacity());
                    program.constants.push_back(t.constant);
                    pt.source = &program.constants.back();
                }
            }
            pt.operand = t.operand;
            pt.output = t.output;
            pt.calcIndex = t.calcIndex;
            pt.op = t.op;
        }
    }
    pb.firstGrafPoint = static_cast<uint32_t>(program.grafPoints.size());
    pb.grafPointCount = static_cast<uint32_t>(b.graf.size());
    program.grafPoints.insert(program.grafPoints.end(), b.graf.begin(), b.graf.end());
    if (program.calcResults.size() < b.calcs.size()) program.calcResults.resize(b.calcs.size());
}

// Walks the compiled records in program order, handing each block's record and program block to `visit`.
template <typename Visit> void ForEachBlock(LogicProgram& program, Visit visit) {
    size_t k = 0;
    for (System& s : Systems().systems_vector)
        for (Device& d : s.Devices)
            for (OutParameter& p : d.outParameters)
                for (LogicBlock& b : p.logicBlocks) {
                    if (k >= program.blocks.size()) return;
                    visit(b, program.blocks[k++]);
                }
}
} // namespace

void BuildLogicProgram() {
    if (!Systems().frozen) FreezeSystemsModel();
    LogicProgram& program = Systems().program;
    program = LogicProgram{};
    size_t tokens = 0;
    for (const System& s : Systems().systems_vector)
        for (const Device& d : s.Devices)
            for (const OutParameter& p : d.outParameters)
                for (const LogicBlock& b : p.logicBlocks)
                    for (const CalcExpr& calc : b.calcs) tokens += calc.tokens.size();
    program.constants.reserve(tokens);
    for (System& s : Systems().systems_vector) {
        for (Device& d : s.Devices) {
            for (OutParameter& p : d.outParameters) {
                ProgramParameter& pp = program.parameters.emplace_back();
                pp.parameter = &p;
                pp.firstBlock = static_cast<uint32_t>(program.blocks.size());
                pp.blockCount = static_cast<uint32_t>(p.logicBlocks.size());
                pp.hasMin = p.hasMin;
                pp.hasMax = p.hasMax;
                pp.min = p.min;
                pp.max = p.max;
                for (LogicBlock& b : p.logicBlocks) {
                    AddBlock(program, b);
                    const ProgramBlock& added = program.blocks.back();
                    if (added.hasSteps) pp.plain = false;
                    for (uint32_t c = 0; c < added.conditionCount; ++c)
                        if (program.conditions[added.firstCondition + c].flags & kConditionPhrase)
                            pp.plain = false;
                }
            }
        }
    }
    program.built = true;
}

void StoreProgramValue(const ProgramParameter& pp, double x) {
    OutParameter& p = *pp.parameter;
    assert(pp.hasMin == p.hasMin && pp.min == p.min && pp.hasMax == p.hasMax && pp.max == p.max);
    if (pp.hasMin && x < pp.min) x = pp.min;
    if (pp.hasMax && x > pp.max) x = pp.max;
    StoreParameterValue(p, x);
}

void EvaluatePlainParameter(LogicProgram& program, const ProgramParameter& pp) {
    OutParameter& p = *pp.parameter;
    const double input = ReadInDrf(p);
    double x = input;
    bool anyFired = false;
    ProgramBlock* const blocks = program.blocks.data() + pp.firstBlock;

    for (uint32_t k = 0; k < pp.blockCount; ++k) {
        ProgramBlock& block = blocks[k];
        bool running = true;
        ProgramCondition* c = program.conditions.data() + block.firstCondition;
        for (ProgramCondition* const end = c + block.conditionCount; c != end; ++c)
            running = EvaluateProgramCondition(program, *c, running);
        // A true block fires only when no earlier one did.
        const bool fires = running && !anyFired;
        SetProgramBlockFired(block, fires);
        if (!fires) continue;
        anyFired = true;
        p.activeBlock = static_cast<int32_t>(k);
        x = EvaluateProgramBlockValue(program, block, input);
    }
    StoreProgramValue(pp, x);
}

void CopyProgramResultsToRecords() {
    LogicProgram& program = Systems().program;
    if (!program.built) return;
    ForEachBlock(program, [&](LogicBlock& b, ProgramBlock& pb) {
        b.fired = pb.fired;
        for (size_t i = 0; i < b.conditions.size() && i < pb.conditionCount; ++i) {
            Condition& c = b.conditions[i];
            const ProgramCondition& pc = program.conditions[pb.firstCondition + i];
            c.leftValue = pc.leftValue;
            c.rightValue = pc.rightValue;
            c.lastInput = pc.flags & kConditionLastInput;
            c.result = pc.flags & kConditionResult;
            c.accumulated = pc.flags & kConditionAccumulated;
        }
        for (size_t i = 0; i < b.calcs.size() && i < pb.calcCount; ++i) {
            CalcExpr& calc = b.calcs[i];
            const ProgramCalc& pcalc = program.calcs[pb.firstCalc + i];
            calc.result = pcalc.result;
            for (size_t j = 0; j < calc.tokens.size() && j < pcalc.tokenCount; ++j) {
                calc.tokens[j].operand = program.tokens[pcalc.firstToken + j].operand;
                calc.tokens[j].output = program.tokens[pcalc.firstToken + j].output;
            }
        }
    });
}
