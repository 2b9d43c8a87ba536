// The whole program run inside this process against the simulator stand-in on a thread of its own: a demo
// installation in a temporary folder, every subsystem's state fresh before each run, the platform's
// folders, pipe name and message boxes pointed into the installation, and a watchdog on every run.
//
// The end-to-end tests use it, and so does the start-up benchmark (which compiles this file and the
// stand-in's engine into itself), so it uses nothing from the test libraries.
#pragma once
#include "tools/simstandin/standin.h"

#include <cstdint>
#include <functional>
#include <string>
#include <thread>
#include <vector>

// A demo installation as a pilot has it: the program's folder inside the simulator's "Community" folder with
// the aircraft data, the module's work folder under the store edition's LocalAppData, and the 737 add-on
// (manifest, four cockpit model files, its options file with data broadcast off).
struct Installation {
    std::string root;         // everything lives below this folder
    std::string program;      // the working folder: <root>/MSFS/Community/quillbrook-talvero
    std::string community;    // <root>/MSFS/Community
    std::string local;        // LocalAppData
    std::string roaming;      // RoamingAppData
    std::string documents;    // the user's documents (SimConnect.cfg), empty
    std::string allUsers;     // the all users' documents (SimConnect.cfg), empty
    std::string work;         // the module's work folder, with a trailing "/"
    std::string runtime;      // the user's runtime folder (XDG_RUNTIME_DIR) while this installation runs
    std::string addOnOptions; // the 737 add-on's options file
    std::string pipeName;     // a pipe name only this installation uses (after "\\.\pipe\")
    std::string registryKey;  // a registry key only this installation uses (it stays empty)
};
// Lays the installation out in `root` (an existing empty folder); the aircraft data comes from the source
// tree's "data" folder. Call it before any run changes the working folder. It also makes the installation's
// runtime folder the process's XDG_RUNTIME_DIR, as the demo does.
Installation LayOutInstallation(const std::string& root);

// The stand-in on its own thread, serving one client after the other until it is stopped (or its scenario
// quits, or `maxSeconds` pass). Its transcript is kept in memory.
struct StandInThread {
    // `configure` may change the options and the parsed scenario before the stand-in starts listening.
    StandInThread(const Installation& installation, const std::vector<std::string>& scenario,
                  const std::function<void(standin::StandIn&)>& configure = {});
    ~StandInThread();
    StandInThread(const StandInThread&) = delete;
    StandInThread& operator=(const StandInThread&) = delete;
    bool Started() const { return started; }
    void Stop();
    std::vector<std::string> Transcript();
    std::vector<std::string> LogLines();
    standin::StandIn s;
    std::string failure; // why it did not start
    std::thread thread;
    bool started = false;
};
// Adds a timed action that a scenario file cannot spell (a text with line breaks or trailing blanks),
// keeping the actions in time order.
void AddAction(standin::Scenario& scenario, double time, const std::string& verb,
               const std::string& argument);

struct RunOptions {
    double watchdogSeconds = 20;      // the program is told to end (ExitApplication) after this long
    double aircraftAnswerSeconds = 5; // how long start-up waits for the module's aircraft answer
    bool endAtFirstPass = false;      // ExitApplication at the start of the first pass (the benchmark)
    void (*atFirstPass)() = nullptr;  // called at the start of the first pass, before anything else
    void (*atQuitSeen)() = nullptr;   // called when a dispatch has first left the quit request set
    void (*atPassEnd)() = nullptr;    // called at the end of every pass
    // The platform's synthesiser and recogniser, as the program has them; otherwise the simulated voice
    // and the captain's feed (the lines of "captain.txt" in the work folder), which every platform has.
    bool platformSpeech = false;
    // With platformSpeech: the platform's recogniser is started and given the grammar but never listens,
    // and the captain's phrases come through the captain's feed (a recogniser loaded but idle).
    bool recogniserIdle = false;
};

// What one run did, as seen from inside the process.
struct ProgramRun {
    int exitCode = -1;
    std::string log;                    // the run log as the program held it
    std::vector<std::string> shutdown;  // the frame's quit and shutdown entries, in the order called
    std::vector<std::string> infoBoxes; // texts of the message boxes shown
    long passes = 0;                    // main-loop passes started
    long passesAtQuit = -1;             // passes when the quit request was first seen after a dispatch
    int64_t launchNanos = 0;            // monotonic time just before the program started
    int64_t firstPassNanos = 0;         // monotonic time at the start of the first pass (0: none)
    bool watchdogFired = false;
};

// Puts every subsystem's process-wide state back to its start, as in a freshly started process.
void ResetProgramState();
// Runs the whole program (start-up, main loop, shutdown) in the installation's folder, with the real
// subsystems and the platform clock; its state stays for the caller to inspect until the next run.
ProgramRun RunProgram(const Installation& installation, const RunOptions& options = RunOptions{});

// Helpers on texts.
std::vector<std::string> SplitLines(const std::string& text); // at line feeds; no empty last element
bool HasLine(const std::vector<std::string>& lines, const std::string& part);
