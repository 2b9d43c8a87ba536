// Benchmark of the program's start-up against the simulator stand-in: from the program's launch (the
// frame's entry, in this process) to the start of the first main-loop pass, with the connection, the
// aircraft request and answer, the 737's package set-up, speech, settings, poses and the systems load.
//
// The stand-in's engine and the end-to-end harness are compiled in: the stand-in serves on a thread of its
// own, and each start ends at its first pass.
#include "tests/e2e/program_run.cpp"
#include "tests/fakes/captain_feed.cpp"
#include "tools/simstandin/captain.cpp"
#include "tools/simstandin/module.cpp"
#include "tools/simstandin/options.cpp"
#include "tools/simstandin/scenario.cpp"
#include "tools/simstandin/standin.cpp"

#include "bench/bench_util.h"

#include <chrono>
#include <filesystem>

int main() {
    namespace fs = std::filesystem;
    const fs::path root = fs::temp_directory_path() /
                          ("talvero-bench-startup-" +
                           std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
    fs::create_directories(root);
    Installation install = LayOutInstallation(root.generic_string());
    std::vector<double> starts, speechStarts;
    double first = -1;
    bool recognition = false;
    {
        StandInThread standIn(install, {}, [](standin::StandIn& s) { s.options.maxSeconds = 300; });
        if (!standIn.Started()) {
            std::printf("bench startup: the stand-in did not start: %s\n", standIn.failure.c_str());
            return 1;
        }
        RunOptions options;
        options.endAtFirstPass = true;
        // The first start installs the 737's cockpit model and updates its options file; later starts find
        // both done, as every start after an add-on update does.
        for (int i = 0; i < 21; ++i) {
            ProgramRun run = RunProgram(install, options);
            if (run.firstPassNanos == 0) {
                std::printf("bench startup: start %d did not reach its first pass\n", i + 1);
                return 1;
            }
            double ms = static_cast<double>(run.firstPassNanos - run.launchNanos) / 1e6;
            if (i == 0)
                first = ms;
            else
                starts.push_back(ms);
        }
        // With the platform's synthesiser and recogniser, as a pilot starts it: the acoustic model and the
        // grammar of the whole phrase context are loaded before the first pass.
        options.platformSpeech = true;
        for (int i = 0; i < 6; ++i) {
            ProgramRun run = RunProgram(install, options);
            if (run.firstPassNanos == 0) {
                std::printf("bench startup: a start with speech did not reach its first pass\n");
                return 1;
            }
            speechStarts.push_back(static_cast<double>(run.firstPassNanos - run.launchNanos) / 1e6);
            recognition = run.log.find("Recognition Init Failure") == std::string::npos;
        }
    }
    std::error_code ec;
    fs::remove_all(root, ec);
    PrintFigure("startup", "to first pass", Percentile(starts, 50), "ms");
    PrintFigure("startup", "to first pass p99", Percentile(starts, 99), "ms");
    PrintFigure("startup", "first start with package set-up", first, "ms");
    PrintFigure("startup", std::string("to first pass with speech") + (recognition ? "" : " (no recogniser)"),
                Percentile(speechStarts, 50), "ms");
    return 0;
}
