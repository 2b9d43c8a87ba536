// Benchmark of the monitor and the executer: passes over a generated 10,000-parameter profile while a
// flight plays (altitude call-outs, commands with poses and code, checklists answered item by item), then
// a quiet cruise in which only simulator values move and a checklist waits for its answer.
#include "flow/monitor.h"
#include "app/frame.h"
#include "base/log.h"
#include "bench/flow_profile.h"
#include "flow/executer.h"
#include "scenario/scenario.h"
#include "systems/drf_arrays.h"
#include "simlink/module_protocol.h"
#include "speech/recognition_state.h"
#include "systems/logic.h"
#include "systems/logic_program.h"
#include "systems/model.h"

#include "bench/allocation_counter.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <new>
#include <string>
#include <vector>

namespace {
namespace fs = std::filesystem;

struct PendingPose {
    uint32_t sequence;
    double due;
};
std::vector<PendingPose> pendingPoses;
double benchNow = 0;

// The module's side: poses are acknowledged half a second after they were sent.
void ModuleReceives(uint32_t clientDataId, uint32_t, const void* data, uint32_t size) {
    if (clientDataId != kClientDataMessageE2W || size != kModuleMessageBytes) return;
    const ModuleMessage* m = static_cast<const ModuleMessage*>(data);
    if (m->type == kMsgPose) pendingPoses.push_back({m->sequence, benchNow + 0.5});
}

void WriteFile(const fs::path& path, const std::string& text) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

double Percentile(std::vector<double> v, double p) {
    std::sort(v.begin(), v.end());
    size_t i = static_cast<size_t>(p * static_cast<double>(v.size() - 1) + 0.5);
    return v[i];
}
} // namespace

int main() {
    const fs::path root =
        fs::temp_directory_path() / ("talvero-bench-monitor-" + std::to_string(std::rand()));
    GeneratedFlowProfile profile = GenerateFlowProfile(10000);
    WriteFile(root / "acf/systems/_systems.txt", "flight\n");
    WriteFile(root / "acf/systems/flight.txt", profile.systemsText);
    for (const std::string& pose : profile.poses)
        WriteFile(root / "acf/poses/crew" / (pose + ".txt"), "pose\n");
    Log().log.path = (root / "log.txt").generic_string();
    Log().drf.path = (root / "drf.txt").generic_string();

    if (!LoadScenarioProfile((root / "acf").generic_string())) {
        std::fprintf(stderr, "bench monitor: the generated profile did not load\n");
        return 1;
    }
    int parameters = 0;
    for (const System& s : Systems().systems_vector)
        for (const Device& d : s.Devices) parameters += static_cast<int>(d.outParameters.size());
    const int altitudeIndex = Scenario().inIndexBySpec["A:INDICATED ALTITUDE"];
    std::vector<int> varIndices;
    for (const auto& [spec, index] : Scenario().inIndexBySpec)
        if (spec.rfind("A:VAR ", 0) == 0) varIndices.push_back(index);
    ModuleProtocol().sender = ModuleSender{ModuleReceives};

    // The captain's script over one 60 s cycle: a command every 4 s, a checklist every 30 s answered item
    // by item a second apart.
    struct Said {
        double at;
        std::string phrase;
    };
    std::vector<Said> script;
    for (int k = 0; k < 15; ++k)
        script.push_back({1.0 + 4.0 * k, "command " + std::to_string(k * 7 % profile.commands)});
    for (int c = 0; c < 2; ++c) {
        double start = 2.5 + 30.0 * c;
        script.push_back({start, "checklist " + std::to_string(c * 3)});
        for (int j = 1; j <= profile.checklistItems; ++j)
            script.push_back({start + 2.0 + 2.5 * j, "check " + std::to_string(j)});
    }
    std::sort(script.begin(), script.end(), [](const Said& a, const Said& b) { return a.at < b.at; });

    const double period = 0.02;
    const int passesPerCycle = 3000; // 60 s
    std::vector<double> flightTimes, quietTimes;
    long long flightAllocations = 0, quietAllocations = 0;
    int flightPasses = 0, quietPasses = 0;
    long pass = 0;

    auto runPass = [&](bool quiet, double cycleTime, size_t& nextSaid, bool measure) {
        benchNow = static_cast<double>(pass) * period;
        Frame().frameTime = benchNow;
        PumpOutgoingMessages();
        for (size_t i = 0; i < pendingPoses.size();) {
            if (pendingPoses[i].due <= benchNow) {
                PoseReached(pendingPoses[i].sequence);
                pendingPoses.erase(pendingPoses.begin() + static_cast<std::ptrdiff_t>(i));
            } else {
                ++i;
            }
        }
        // Simulator values move every pass.
        for (size_t i = 0; i < varIndices.size(); ++i)
            Drf().w2e[varIndices[i]] = 50.0 + 40.0 * std::sin(benchNow * 0.7 + static_cast<double>(i));
        if (!quiet) {
            // Climb to 21,000 ft in 40 s, then back down, so that every call-out fires and re-arms.
            double c = cycleTime < 40 ? cycleTime / 40.0 : (60.0 - cycleTime) / 20.0;
            Drf().w2e[altitudeIndex] = 21000.0 * c;
            while (nextSaid < script.size() && script[nextSaid].at <= cycleTime)
                Recognition().heardPhrase = script[nextSaid++].phrase;
        }
        long long a0 = allocationCount.load();
        auto t0 = std::chrono::steady_clock::now();
        MonitorSystems();
        SendDrfE2W();
        Executer();
        auto t1 = std::chrono::steady_clock::now();
        long long allocations = allocationCount.load() - a0;
        double ms = std::chrono::duration<double, std::milli>(t1 - t0).count();
        if (measure) {
            (quiet ? quietTimes : flightTimes).push_back(ms);
            (quiet ? quietAllocations : flightAllocations) += allocations;
            ++(quiet ? quietPasses : flightPasses);
        }
        ++pass;
    };

    // Warm-up cycle, then two measured flight cycles.
    for (int cycle = 0; cycle < 3; ++cycle) {
        size_t nextSaid = 0;
        for (int i = 0; i < passesPerCycle; ++i)
            runPass(false, static_cast<double>(i) * period, nextSaid, cycle > 0);
    }
    // Cruise: a checklist waits for its first answer while the simulator values move.
    Recognition().heardPhrase = "checklist 5";
    size_t none = 0;
    for (int i = 0; i < 500; ++i) runPass(true, 0, none, false);
    for (int i = 0; i < 3000; ++i) runPass(true, 0, none, true);

    std::vector<double> all = flightTimes;
    all.insert(all.end(), quietTimes.begin(), quietTimes.end());
    std::printf("bench monitor: parameters = %d count\n", parameters);
    std::printf("bench monitor: median = %.3f ms\n", Percentile(all, 0.5));
    std::printf("bench monitor: p99 = %.3f ms\n", Percentile(all, 0.99));
    std::printf("bench monitor: allocations per pass = %.3f count\n",
                static_cast<double>(quietAllocations) / quietPasses);
    std::printf("bench monitor: flight median = %.3f ms\n", Percentile(flightTimes, 0.5));
    std::printf("bench monitor: flight p99 = %.3f ms\n", Percentile(flightTimes, 0.99));
    std::printf("bench monitor: flight allocations per pass = %.3f count\n",
                static_cast<double>(flightAllocations) / flightPasses);
    std::printf("bench monitor: lines spoken = %zu count\n", ExecuterData().recentPhrases.size());

    // The logic alone, side by side: every plain parameter evaluated by the compiled records (as the monitor
    // did before the evaluation program) and by the program, alternating pass by pass over the same model.
    std::vector<double> byRecords, byProgram;
    LogicProgram& program = Systems().program;
    for (int i = 0; i < 2000; ++i) {
        benchNow = static_cast<double>(pass++) * period;
        for (size_t v = 0; v < varIndices.size(); ++v)
            Drf().w2e[varIndices[v]] = 50.0 + 40.0 * std::sin(benchNow * 0.7 + static_cast<double>(v));
        auto t0 = std::chrono::steady_clock::now();
        if (i % 2 == 0) {
            for (const ProgramParameter& pp : program.parameters)
                if (pp.plain) EvaluateParameterByRecords(*pp.parameter);
        } else {
            for (const ProgramParameter& pp : program.parameters)
                if (pp.plain) EvaluatePlainParameter(program, pp);
        }
        auto t1 = std::chrono::steady_clock::now();
        (i % 2 == 0 ? byRecords : byProgram)
            .push_back(std::chrono::duration<double, std::milli>(t1 - t0).count());
    }
    std::printf("bench monitor: logic by records median = %.3f ms\n", Percentile(byRecords, 0.5));
    std::printf("bench monitor: logic by program median = %.3f ms\n", Percentile(byProgram, 0.5));

    std::error_code ec;
    fs::remove_all(root, ec);
    return 0;
}
