// Benchmark of the program's processor use during a flight against the simulator stand-in: a 737 taxi,
// takeoff and climb of about half a minute with the captain's phrases, call-outs, poses, checklists and a
// settings change, measured from the first main-loop pass to the simulator's quit notice. The figure is the
// program's share of one core: the whole process minus the stand-in's thread.
//
// The stand-in's engine and the end-to-end harness are compiled in (the stand-in runs on a thread).
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
#include <pthread.h>
#include <time.h>

namespace {
const std::vector<std::string> kFlight = {
    "clock ready",
    "posetime 0.8",
    "set A:FUEL TOTAL QUANTITY 5000",
    "set A:SIM ON GROUND 1",
    "set A:GEAR HANDLE POSITION 1",
    "set A:BRAKE PARKING POSITION 1",
    "set T:LOCAL TIME 68400",
    "at 0.5 runways 27L#09R",
    "at 1 captain hello",
    "at 4 captain before start checklist",
    "at 6 captain closed and locked",
    "at 7 set A:BRAKE PARKING POSITION 0",
    "at 8 set A:TURB ENG N1:1 90",
    "at 8 set A:TURB ENG N1:2 90",
    "at 9 set A:AIRSPEED INDICATED 60",
    "at 10 set A:AIRSPEED INDICATED 85",
    "at 11 set A:AIRSPEED INDICATED 130",
    "at 12 set A:AIRSPEED INDICATED 150",
    "at 13 set A:SIM ON GROUND 0",
    "at 13 set A:VERTICAL SPEED 1500",
    "at 13.5 set A:RADIO HEIGHT 100",
    "at 13.5 set A:INDICATED ALTITUDE 400",
    "at 15 captain gear up",
    "at 18 set A:GEAR HANDLE POSITION 0",
    "at 19 set A:RADIO HEIGHT 1200",
    "at 19 set A:INDICATED ALTITUDE 1500",
    "at 19 set A:AIRSPEED INDICATED 220",
    "at 20 captain flaps up",
    "at 23 captain after takeoff checklist",
    "at 26 foname Anna",
    "at 28 captain runway check",
    "at 30 set A:INDICATED ALTITUDE 3000",
    "at 32 quit",
};

double Seconds(clockid_t clock) {
    timespec t{};
    if (clock_gettime(clock, &t) != 0) return -1; // a thread that has ended
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

struct Sample {
    double wall = 0, process = 0, mainThread = 0, standIn = 0;
};
clockid_t standInClock;
Sample atFirstPass, atQuit;

Sample Take() {
    Sample s;
    s.wall = static_cast<double>(MonotonicNanos()) / 1e9;
    s.process = Seconds(CLOCK_PROCESS_CPUTIME_ID);
    s.mainThread = Seconds(CLOCK_THREAD_CPUTIME_ID);
    s.standIn = Seconds(standInClock);
    return s;
}
} // namespace

int main() {
    namespace fs = std::filesystem;
    const fs::path root = fs::temp_directory_path() /
                          ("talvero-bench-flight-" +
                           std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
    fs::create_directories(root);
    Installation install = LayOutInstallation(root.generic_string());
    ProgramRun run;
    {
        StandInThread standIn(install, kFlight, [](standin::StandIn& s) { s.options.maxSeconds = 120; });
        if (!standIn.Started() || pthread_getcpuclockid(standIn.thread.native_handle(), &standInClock) != 0) {
            std::printf("bench flight: the stand-in did not start: %s\n", standIn.failure.c_str());
            return 1;
        }
        RunOptions options;
        options.watchdogSeconds = 90;
        options.atFirstPass = [] { atFirstPass = Take(); };
        // While the program handles the quit notice the stand-in still waits for it to leave: its thread,
        // and so its clock, are still there.
        options.atQuitSeen = [] { atQuit = Take(); };
        run = RunProgram(install, options);
    }
    std::error_code ec;
    fs::remove_all(root, ec);
    const Sample& end = atQuit;
    if (run.firstPassNanos == 0 || run.passesAtQuit < 0 || run.exitCode != 0 || run.watchdogFired ||
        atFirstPass.standIn < 0 || end.standIn < 0) {
        std::printf("bench flight: the flight did not run to the simulator's quit (exit code %d)\n",
                    run.exitCode);
        return 1;
    }
    double wall = end.wall - atFirstPass.wall;
    double program = (end.process - atFirstPass.process) - (end.standIn - atFirstPass.standIn);
    PrintFigure("flight", "cpu", 100.0 * program / wall, "%");
    PrintFigure("flight", "main thread cpu", 100.0 * (end.mainThread - atFirstPass.mainThread) / wall, "%");
    PrintFigure("flight", "measured", wall, "s");
    return 0;
}
