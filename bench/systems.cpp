// Benchmark of the systems model: loading and compiling a large generated profile, and evaluating every
// condition and calc of it once, as the monitor does on every pass; counts the allocations of a pass.
#include "app/frame.h"
#include "base/helpers.h"
#include "base/log.h"
#include "poses/pose_catalogue.h"
#include "systems/phrase_context.h"
#include "systems/loader.h"
#include "systems/logic.h"
#include "systems/model.h"

#include "bench/allocation_counter.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <new>
#include <string>
#include <vector>

namespace {
constexpr int kSystems = 20, kDevices = 25, kParameters = 20; // 10,000 parameters

double NowMs() {
    using namespace std::chrono;
    return duration<double, std::milli>(steady_clock::now().time_since_epoch()).count();
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

std::string Name(int s, int d, int p) {
    return "SYS" + std::to_string(s) + ".DEV" + std::to_string(d) + ".P" + std::to_string(p);
}

// One systems file per system, about six logic lines a parameter: conditions on neighbouring parameters
// (a tenth also wait for a phrase), a calc chain and a graph; a fifth have read links, a tenth write links.
int WriteProfile(const std::string& acf) {
    std::filesystem::create_directories(acf + "/systems");
    std::string index;
    int logicLines = 0;
    for (int s = 0; s < kSystems; ++s) {
        std::vector<std::string> lines;
        lines.push_back("sys=SYS" + std::to_string(s));
        for (int d = 0; d < kDevices; ++d) {
            lines.push_back("dev=DEV" + std::to_string(d));
            for (int p = 0; p < kParameters; ++p) {
                std::string out = "out=P" + std::to_string(p) + ",double,generated,1,0,1000";
                if (p % 5 == 0)
                    out += ",L:bench_" + std::to_string(s) + "_" + std::to_string(d) + "_" +
                           std::to_string(p) + ",new";
                if (p % 10 == 1)
                    out += ",,,L:bench_out_" + std::to_string(s) + "_" + std::to_string(d) + "_" +
                           std::to_string(p) + ",new";
                lines.push_back(out);
                std::string prev = Name(s, d, (p + kParameters - 1) % kParameters);
                std::string prev2 = Name(s, (d + 1) % kDevices, (p + 3) % kParameters);
                std::vector<std::string> logic = {"logic:"};
                if (p % 10 == 3)
                    logic.push_back("instring=bench phrase " + std::to_string((s * kDevices + d) % 100));
                logic.push_back("[" + prev + "]>=" + std::to_string(p % 7));
                if (p % 3 == 0) logic.push_back("||");
                logic.push_back(p % 2 ? "[" + prev2 + "]==1;2;3;5;8" : "[" + prev + "]<=[" + prev2 + "]");
                logic.push_back("calc=[" + prev + "]+[" + prev2 + "]*[0.5]");
                if (p % 4 == 1) logic.push_back("calc=[CBLOCK0]/[3]flr[0]");
                logic.push_back("graf=0,0");
                logic.push_back("graf=" + std::to_string(100 + p) + ",50");
                logicLines += static_cast<int>(logic.size());
                lines.insert(lines.end(), logic.begin(), logic.end());
            }
        }
        WriteLines(acf + "/systems/s" + std::to_string(s) + ".txt", lines);
        index += "s" + std::to_string(s) + "\n";
    }
    WriteString(acf + "/systems/_systems.txt", index);
    return logicLines;
}

struct PassCounts {
    long long conditions = 0;
    long long calcs = 0;
};

// Every condition of every block, as the monitor evaluates them.
PassCounts EvaluateConditions(const std::string& heard) {
    PassCounts counts;
    for (System& s : Systems().systems_vector)
        for (Device& d : s.Devices)
            for (OutParameter& p : d.outParameters)
                for (LogicBlock& b : p.logicBlocks) {
                    bool running = true;
                    for (Condition& c : b.conditions) {
                        running = c.left.kind == kRefPhrase ? EvaluatePhraseCondition(c, running, heard)
                                                            : EvaluateCondition(c, running);
                        ++counts.conditions;
                    }
                    b.fired = running;
                }
    return counts;
}

// Every block's calc chain and graph, and the limits, as if every block fired.
PassCounts EvaluateCalcs() {
    PassCounts counts;
    for (System& s : Systems().systems_vector)
        for (Device& d : s.Devices)
            for (OutParameter& p : d.outParameters) {
                double x = p.value;
                for (LogicBlock& b : p.logicBlocks) {
                    x = EvaluateBlockValue(b, x);
                    counts.calcs += static_cast<long long>(b.calcs.size());
                }
                if (p.hasMin && x < p.min) x = p.min;
                if (p.hasMax && x > p.max) x = p.max;
                p.value = x;
            }
    return counts;
}
} // namespace

int main() {
    namespace fs = std::filesystem;
    const fs::path root =
        fs::temp_directory_path() / ("talvero-bench-systems-" + std::to_string(std::rand()));
    const std::string acf = (root / "acf").generic_string();
    fs::create_directories(root / "data");
    const int logicLines = WriteProfile(acf);
    Log().log.path = (root / "data" / "log.txt").generic_string();
    Log().drf.path = (root / "data" / "drf.txt").generic_string();
    Frame().AcfPath = acf;

    std::vector<double> loads;
    for (int run = 0; run < 5; ++run) {
        ResetLog();
        Log().log.path = (root / "data" / "log.txt").generic_string();
        Log().drf.path = (root / "data" / "drf.txt").generic_string();
        ResetPhraseContext();
        double start = NowMs();
        CreateSystemsFromFile();
        loads.push_back(NowMs() - start);
    }
    int parameters = 0;
    for (const System& s : Systems().systems_vector)
        for (const Device& d : s.Devices) parameters += static_cast<int>(d.outParameters.size());

    const std::string heard = "bench phrase 7";
    PassCounts conditions = EvaluateConditions(heard), calcs = EvaluateCalcs(); // warm up
    std::vector<double> conditionTimes, calcTimes;
    for (int pass = 0; pass < 51; ++pass) {
        double start = NowMs();
        conditions = EvaluateConditions(heard);
        double middle = NowMs();
        calcs = EvaluateCalcs();
        conditionTimes.push_back(middle - start);
        calcTimes.push_back(NowMs() - middle);
    }
    long long before = allocationCount;
    EvaluateConditions(heard);
    EvaluateCalcs();
    long long allocations = allocationCount - before;

    std::printf("bench systems: parameters = %d count\n", parameters);
    std::printf("bench systems: logic lines = %d count\n", logicLines);
    std::printf("bench systems: unresolved names = %d count\n",
                static_cast<int>(Systems().unresolvedNames.size()));
    std::printf("bench systems: load+compile = %.1f ms\n", Median(loads));
    std::printf("bench systems: conditions per pass = %lld count\n", conditions.conditions);
    std::printf("bench systems: per condition = %.2f ns\n",
                Median(conditionTimes) * 1e6 / double(conditions.conditions));
    std::printf("bench systems: calcs per pass = %lld count\n", calcs.calcs);
    std::printf("bench systems: per calc with its graph = %.2f ns\n",
                Median(calcTimes) * 1e6 / double(calcs.calcs));
    std::printf("bench systems: evaluation pass = %.3f ms\n", Median(conditionTimes) + Median(calcTimes));
    std::printf("bench systems: allocations per evaluation = %lld count\n", allocations);

    std::error_code ec;
    fs::remove_all(root, ec);
    return 0;
}
