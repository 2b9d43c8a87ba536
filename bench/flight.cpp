// Benchmark of the program's processor use during a flight against the simulator stand-in: a 737 taxi,
// takeoff and climb of about half a minute with the captain's phrases, call-outs, poses, checklists and a
// settings change, measured from the first main-loop pass to the simulator's quit notice. The figure is the
// program's share of one core: the whole process minus the stand-in's thread.
//
// The program runs as a pilot has it: the widget shown over the stand-in's simulator window (on a private
// Xvfb when one can be started), the first officer in the platform's voice, and the platform's recogniser
// loaded with the whole grammar but idle, the captain's phrases handed over as text. Beside it, in the
// same run: twenty seconds at the gate with nothing happening; the flight with the recogniser hearing the
// captain (the stand-in speaks his phrases and holds push-to-talk for each); the flight without the
// widget; and the flight without the widget in the simulated voice (the conditions of the figure before
// the widget and speech landed). The main figure is the median of three flights: a figure this small moves
// with whatever else the machine does.
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
#include "tests/fakes/private_x_server.h"

#include <algorithm>
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

struct Variant {
    int runs;           // flown this many times; the figures are those of the median run by cpu
    const char* suffix; // after "cpu" in the figure's name
    bool idle;          // no flight: the simulator sits at the gate until it quits
    bool widget;        // the stand-in opens a simulator window, so the widget is shown over it
    bool platformSpeech;
    bool recogniserIdle; // the recogniser loaded but idle: the captain's phrases handed over as text
};

struct Figures {
    std::string suffix;
    double cpu = 0, mainThread = 0, wall = 0;
};

// One run of the program against the stand-in; false when it did not run to the simulator's quit.
bool Fly(const Variant& v, int number, Figures& figures) {
    namespace fs = std::filesystem;
    const fs::path root = fs::temp_directory_path() /
                          ("talvero-bench-flight-" + std::to_string(number) + "-" +
                           std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
    fs::create_directories(root);
    Installation install = LayOutInstallation(root.generic_string());
    std::vector<std::string> scenario = kFlight;
    if (v.idle)
        scenario = {"clock ready", "set A:SIM ON GROUND 1", "set A:BRAKE PARKING POSITION 1", "at 20 quit"};
    ProgramRun run;
    {
        StandInThread standIn(install, scenario, [&](standin::StandIn& s) {
            s.options.maxSeconds = 120;
            if (v.widget) {
                s.options.windowTitle = "Microsoft Flight Simulator - 1.37.19.0";
                s.options.windowWidth = 1600;
                s.options.windowHeight = 1150;
            }
        });
        if (!standIn.Started() || pthread_getcpuclockid(standIn.thread.native_handle(), &standInClock) != 0) {
            std::printf("bench flight: the stand-in did not start: %s\n", standIn.failure.c_str());
            return false;
        }
        RunOptions options;
        options.watchdogSeconds = 90;
        options.platformSpeech = v.platformSpeech;
        options.recogniserIdle = v.recogniserIdle;
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
        return false;
    }
    auto logged = [&](const char* line) { return run.log.find(line) != std::string::npos; };
    // A run in which the widget was not shown measured something else, and is named for it.
    std::string suffix = v.suffix;
    if (v.widget && !logged("Widget window was created")) suffix += " (the widget did not show)";
    if (v.platformSpeech && logged("Recognition Init Failure")) std::printf("bench flight: no recogniser\n");
    figures.suffix = suffix;
    figures.wall = end.wall - atFirstPass.wall;
    double program = (end.process - atFirstPass.process) - (end.standIn - atFirstPass.standIn);
    figures.cpu = 100.0 * program / figures.wall;
    figures.mainThread = 100.0 * (end.mainThread - atFirstPass.mainThread) / figures.wall;
    return true;
}
} // namespace

int main() {
    PrivateXServer server;
    static std::string displayVariable;
    if (!server.display.empty()) {
        displayVariable = "DISPLAY=" + server.display;
        putenv(displayVariable.data());
    } else {
        std::printf("bench flight: no X server, the widget is not shown\n");
    }
    const Variant variants[] = {
        {1, " at the gate", true, true, true, false},
        {3, "", false, true, true, true},
        {1, " hearing the captain", false, true, true, false},
        {1, " without the widget", false, false, true, true},
        {1, " without the widget and platform speech", false, false, false, false},
    };
    int number = 0;
    for (const Variant& v : variants) {
        std::vector<Figures> runs(static_cast<size_t>(v.runs));
        for (Figures& run : runs)
            if (!Fly(v, number++, run)) return 1;
        std::sort(runs.begin(), runs.end(), [](const Figures& a, const Figures& b) { return a.cpu < b.cpu; });
        const Figures& median = runs[runs.size() / 2];
        PrintFigure("flight", "cpu" + median.suffix, median.cpu, "%");
        PrintFigure("flight", "main thread cpu" + median.suffix, median.mainThread, "%");
        PrintFigure("flight", "measured" + median.suffix, median.wall, "s");
        if (runs.size() > 1)
            PrintFigure("flight", "cpu range" + median.suffix, runs.back().cpu - runs.front().cpu, "%");
    }
    return 0;
}
