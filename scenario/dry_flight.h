// The dry flight: an aircraft profile flown through a scenario on the runner's simulated clock, with no
// simulator, no sound and no window, through the real monitor and executer. For authors: the timeline of
// what the first officer does, and what of the profile did not work out.
#pragma once
#include <string>
#include <vector>

// A procedure or checklist (a sequential device) as the flight ran it.
struct SequenceRun {
    std::string device; // "system.device"
    double started = 0; // seconds of the flight
    double ended = -1;  // -1: still running at the end
    bool aborted = false;
};

struct DryFlightReport {
    std::vector<std::string> scenarioErrors; // "line N: ..." for every scenario line it could not read
    std::vector<std::string> scenarioNotes;  // stand-in lines that have no meaning without a simulator
    bool profileLoaded = false;
    std::vector<std::string> profileProblems; // the loader's and compiler's report
    double endTime = 0;                       // the flight's last pass
    bool settled = false;                     // nothing running or waiting at the end
    std::vector<std::string> timeline;        // the readable timeline, one line per event
    std::vector<SequenceRun> runs;            // in the order they started
    std::vector<std::string> waiting;         // what still waits at the end
    std::vector<std::string> skippedSteps;    // pose steps skipped, their pose not in the catalogue
    std::vector<std::string> readLinksNeverMoved;
    std::vector<std::string> writeLinksNeverWritten;
    // Nothing to put right: the scenario read whole, the profile loaded, no step skipped, nothing left
    // running or waiting.
    bool Clean() const;
};

// Reads a scenario in either of its two forms and schedules it on the runner (started already):
// - the runner's own lines, "<seconds> heard <phrase>", "<seconds> sim <spec> <value>", "<seconds> drf
//   <index> <value>", "<seconds> key <spec>", "<seconds> runways <takeoff>#<landing>";
// - the simulator stand-in's scenario ("set", "posetime", "clock" and "at <time> <action>" lines): the
//   captain's phrases are heard a moment after the line (kCaptainHeardAfter), "set" and "keyevent" move
//   the aircraft, "runways" gives the runways, "quit" ends the flight; the module's and the connection's
//   own actions are noted and left out.
// `poseSeconds` and `quitTime` take the stand-in's "posetime" and "quit" (quitTime stays < 0 without).
void ReadDryFlightScenario(const std::string& text, DryFlightReport& report, double& poseSeconds,
                           double& quitTime);
inline constexpr double kCaptainHeardAfter = 1.2;

// Flies the profile in `aircraftFolder` through the scenario: every input, then until nothing runs or
// waits, at most `extraSeconds` after the last input (or up to the scenario's "quit").
DryFlightReport FlyDry(const std::string& aircraftFolder, const std::string& scenarioText,
                       double extraSeconds = 120);

// The report as the command prints it: the timeline, then the summary.
std::vector<std::string> DescribeDryFlight(const DryFlightReport& report);
