// The evaluation program against the compiled records: generated models full of awkward logic (references
// forwards, backwards and to nothing, value lists, operators missing, CBLOCK out of range, division by 0,
// b2i and flr, graphs with one point or descending points, NaN and infinities from the simulator, limits,
// links of every kind) are evaluated pass after pass both ways, and every value and runtime field must
// agree to the bit.
#include "systems/logic_program.h"
#include "tests/systems/systems_fixture.h"

#include <bit>
#include <cstring>
#include <random>

namespace {
using LogicProgramTest = SystemsTest;

// One model text of `systems` x `devices` x `parameters`, every parameter with a few blocks of random logic
// reading random parameters of the model.
std::vector<std::string> RandomModel(std::mt19937& rng, int systems, int devices, int parameters) {
    auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
    auto name = [&]() {
        if (pick(12) == 0) return std::string("NO.SUCH.NAME");
        return "S" + std::to_string(pick(systems)) + ".D" + std::to_string(pick(devices)) + ".P" +
               std::to_string(pick(parameters));
    };
    const char* numbers[] = {"0", "1", "2", "-3", "0.5", "7", "1011", "2.7", "-2.5", "100", "1e300", "12"};
    auto operand = [&]() { return pick(3) == 0 ? std::string(numbers[pick(12)]) : "[" + name() + "]"; };
    const char* ops[] = {"==", "!=", ">", "<", ">=", "<="};
    const char* calcOps[] = {"", "+", "-", "*", "/", "b2i", "flr"};
    const char* types[] = {"double", "int", "text"};
    const char* inLinks[] = {",", "A:IN,new", "L:IN,exist", "K:EVENT,new"};
    const char* outLinks[] = {",", "L:OUT,new", "A:OUT,exist"};

    std::vector<std::string> lines;
    for (int s = 0; s < systems; ++s) {
        lines.push_back("sys=S" + std::to_string(s));
        for (int d = 0; d < devices; ++d) {
            lines.push_back("dev=D" + std::to_string(d));
            for (int p = 0; p < parameters; ++p) {
                std::string min = pick(3) == 0 ? "-50" : "", max = pick(3) == 0 ? "60" : "";
                lines.push_back("out=P" + std::to_string(p) + "," + types[pick(3)] + ",," +
                                std::to_string(pick(5)) + "," + min + "," + max + "," + inLinks[pick(4)] +
                                "," + outLinks[pick(3)] + ",,0");
                for (int b = pick(4); b > 0; --b) {
                    lines.push_back("logic:");
                    for (int c = pick(4); c > 0; --c) {
                        if (pick(4) == 0) lines.push_back(pick(2) ? "||" : "&&");
                        switch (pick(8)) {
                        case 0:
                            lines.push_back("[" + name() + "]" + ops[pick(2)] + "1;3;5");
                            break;
                        case 1:
                            lines.push_back("[" + name() + "] without an operator");
                            break;
                        default:
                            lines.push_back(operand() + ops[pick(6)] + operand());
                        }
                    }
                    for (int k = pick(4); k > 0; --k) {
                        if (pick(5) == 0) {
                            lines.push_back(std::string("calc=") + numbers[pick(12)]);
                            continue;
                        }
                        std::string calc = "calc=";
                        for (int t = 1 + pick(4); t > 0; --t) {
                            std::string what = pick(4) == 0 ? "CBLOCK" + std::to_string(pick(4)) : operand();
                            if (what.front() == '[') what = what.substr(1, what.size() - 2);
                            calc += std::string(calcOps[pick(7)]) + "[" + what + "]";
                        }
                        lines.push_back(calc);
                    }
                    for (int g = pick(4); g > 0; --g)
                        lines.push_back("graf=" + std::to_string(pick(40) - 10) + "," +
                                        std::to_string(pick(9)));
                }
            }
        }
    }
    return lines;
}

// Every value a pass leaves behind, as bits, in model order.
std::vector<uint64_t> Snapshot() {
    std::vector<uint64_t> out;
    auto add = [&](double v) { out.push_back(std::bit_cast<uint64_t>(v)); };
    for (const System& s : Systems().systems_vector)
        for (const Device& d : s.Devices)
            for (const OutParameter& p : d.outParameters) {
                add(p.value);
                out.push_back(static_cast<uint32_t>(p.intValue));
                out.push_back(static_cast<uint32_t>(p.activeBlock));
                add(p.inDrf.value);
                add(p.outDrf.value);
                out.push_back(p.inDrf.eventPending);
                for (const LogicBlock& b : p.logicBlocks) {
                    out.push_back(b.fired);
                    for (const Condition& c : b.conditions) {
                        add(c.leftValue);
                        add(c.rightValue);
                        out.push_back(c.lastInput * 4 + c.result * 2 + c.accumulated);
                    }
                    for (const CalcExpr& calc : b.calcs) {
                        add(calc.result);
                        for (const CalcToken& t : calc.tokens) {
                            add(t.operand);
                            add(t.output);
                        }
                    }
                }
            }
    for (double v : Drf().e2w) add(v);
    return out;
}

// The simulator's side of pass `pass`: link indices given out early on, values (NaN and infinities among
// them) and key events.
void PlaySimulator(int pass) {
    int n = 0;
    for (System& s : Systems().systems_vector)
        for (Device& d : s.Devices)
            for (OutParameter& p : d.outParameters) {
                ++n;
                if (pass == 1 && p.inDrf.varType != kDrfVarNone && n % 5 != 0) {
                    p.inDrf.drfIndex = n % kDrfArraySize;
                    p.inDrf.isActive = true;
                }
                if (pass == 2 && p.outDrf.varType != kDrfVarNone && n % 4 != 0) {
                    p.outDrf.drfIndex = (n * 7) % kDrfArraySize;
                    p.outDrf.isActive = true;
                }
                if (p.inDrf.varType == kDrfVarK && (pass + n) % 9 == 0) p.inDrf.eventPending = true;
            }
    const double specials[] = {std::nan(""), INFINITY, -INFINITY, 1e308, -0.0};
    for (int i = 0; i < kDrfArraySize; ++i)
        Drf().w2e[i] = (i + pass) % 17 == 0 ? specials[(i + pass) % 5] : std::sin(i * 0.37 + pass) * 80;
}

std::vector<std::vector<uint64_t>> RunPasses(const std::vector<std::string>& model, bool byProgram,
                                             int passes) {
    ResetSystems();
    ResetDrfArrays();
    ParseSystemsLines(model, {});
    CompileLogic();
    // A type that is neither integer nor double: the value is never stored.
    for (System& s : Systems().systems_vector)
        for (Device& d : s.Devices)
            for (OutParameter& p : d.outParameters)
                if (p.name == "P5") p.type = 2;
    std::vector<std::vector<uint64_t>> snapshots;
    for (int pass = 0; pass < passes; ++pass) {
        PlaySimulator(pass);
        if (byProgram) {
            LogicProgram& program = Systems().program;
            for (const ProgramParameter& pp : program.parameters) EvaluatePlainParameter(program, pp);
            CopyProgramResultsToRecords();
        } else {
            for (System& s : Systems().systems_vector)
                for (Device& d : s.Devices)
                    for (OutParameter& p : d.outParameters) EvaluateParameterByRecords(p);
        }
        snapshots.push_back(Snapshot());
    }
    return snapshots;
}

TEST_F(LogicProgramTest, ProgramAndRecordsAgreeToTheBitOnGeneratedModels) {
    for (unsigned seed = 1; seed <= 12; ++seed) {
        std::mt19937 rng(seed);
        const std::vector<std::string> model = RandomModel(rng, 2 + seed % 3, 3, 6);
        const auto byRecords = RunPasses(model, false, 12);
        const auto byProgram = RunPasses(model, true, 12);
        ASSERT_EQ(byRecords.size(), byProgram.size());
        for (size_t pass = 0; pass < byRecords.size(); ++pass) {
            ASSERT_EQ(byRecords[pass].size(), byProgram[pass].size());
            size_t differing = 0;
            for (size_t i = 0; i < byRecords[pass].size(); ++i)
                differing += byRecords[pass][i] != byProgram[pass][i];
            ASSERT_EQ(differing, 0u) << "seed " << seed << ", pass " << pass;
        }
        EXPECT_TRUE(Systems().program.built);
        EXPECT_EQ(Systems().program.parameters.size(), static_cast<size_t>((2 + seed % 3) * 3 * 6));
    }
}

TEST_F(LogicProgramTest, ProgramReadsTheModelItWasBuiltFor) {
    Load({"sys=A", "dev=B", "out=P,double,,0", "out=T,double,,0", "logic:", "[A.B.P]>1", "calc=[A.B.P]*[2]",
          "logic:", "calc=[NO.SUCH.NAME]+[5]"});
    LogicProgram& program = Systems().program;
    ASSERT_TRUE(program.built) << "compiling builds the program";
    ASSERT_EQ(program.parameters.size(), 2u);
    EXPECT_TRUE(Systems().frozen);
    OutParameter& t = Param("A.B.T");
    ASSERT_EQ(program.parameters[1].parameter, &t);

    Param("A.B.P").value = 4;
    EvaluatePlainParameter(program, program.parameters[1]);
    EXPECT_EQ(t.value, 8) << "the first true block fires";
    EXPECT_TRUE(t.logicBlocks[0].fired) << "fired reaches the record at once";
    EXPECT_FALSE(t.logicBlocks[1].fired);
    EXPECT_EQ(t.logicBlocks[0].calcs[0].result, 0) << "other results wait for the copy";
    CopyProgramResultsToRecords();
    EXPECT_EQ(t.logicBlocks[0].calcs[0].result, 8);
    EXPECT_EQ(t.logicBlocks[0].conditions[0].leftValue, 4);
    EXPECT_TRUE(t.logicBlocks[0].conditions[0].accumulated);

    Param("A.B.P").value = 0;
    EvaluatePlainParameter(program, program.parameters[1]);
    EXPECT_EQ(t.value, 5) << "an unresolved name reads 0";
    EXPECT_EQ(t.activeBlock, 1);

    // Compiling one parameter again gives it new records: the program follows them.
    t.logicLines = {"logic:", "calc=[A.B.P]-[1]"};
    CompileParameterLogic(0, 0, 1);
    EvaluatePlainParameter(program, program.parameters[1]);
    EXPECT_EQ(t.value, -1);
    CopyProgramResultsToRecords();
    EXPECT_EQ(t.logicBlocks[0].calcs[0].tokens[1].output, -1);
}
} // namespace
