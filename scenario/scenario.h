// The scenario runner: plays the flow engine in process, without the simulator, on a simulated clock of
// 20 ms passes. It stands in for the world around the engine: the captain's heard phrases, simulator
// values and key events at given times, and the in-simulator module (DRF indices for the links, values
// going round through the simulator variables, simple calculator code, pose acknowledgements after a
// delay). Everything the engine does comes back as a timeline, for tests and for authors trying a profile.
#pragma once
#include <cstdint>
#include <map>
#include <string>
#include <vector>

// Something that happens from outside at a given time.
enum class ScenarioInputKind {
    Heard,    // the captain's phrase reaches the heard phrase (text)
    SimValue, // a simulator variable takes a value (text: the link spec, e.g. "A:VERTICAL SPEED")
    DrfValue, // an element of the incoming DRF block takes a value (index)
    KeyEvent, // the module reports a key event for every read link of that spec (text: "K:...")
    Runways,  // the module's runway message: text "takeoff#landing"
};

struct ScenarioInput {
    double time = 0;
    ScenarioInputKind kind = ScenarioInputKind::Heard;
    std::string text;
    int index = -1;
    double value = 0;
};

enum class TimelineKind {
    Heard,            // text: the phrase
    Spoken,           // text: the line as the first officer speaks it
    MessageSent,      // a module message written: type, sequence, text, value (value out)
    PoseAcknowledged, // the module's pose report: sequence
    DrfWritten,       // an element of the outgoing DRF block changed: index, value, text (the link spec)
    SimValue,         // a simulator variable changed by code sent to the module: text, value
    LogLine,          // text: a line of the run log
    PoseSkipped,      // a pose step the executer skipped, its pose not in the catalogue: text, value
};

struct TimelineEntry {
    double time = 0;
    long pass = 0;
    TimelineKind kind = TimelineKind::LogLine;
    std::string text;
    uint32_t type = 0;
    uint32_t sequence = 0;
    int index = -1;
    double value = 0;
};

struct ScenarioSettings {
    double passSeconds = 0.02;
    double poseSeconds = 1.0; // the module acknowledges a pose this long after it was sent; < 0: never
    unsigned randomSeed = 1;  // for the choice among "#" alternatives
    void (*speechMonitor)() = nullptr; // the speech monitor of the simulator dispatch, once there is one
};

struct ScenarioState {
    ScenarioSettings settings;
    long pass = 0;
    double time = 0;                   // frame time of the latest pass
    std::vector<ScenarioInput> inputs; // in time order; equal times keep the order they were given in
    size_t nextInput = 0;
    struct PendingAck {
        uint32_t sequence;
        double due;
    };
    std::vector<PendingAck> pendingAcks;
    std::map<std::string, double> simVars;        // the simulator's variables by link spec
    std::map<std::string, double> initialSimVars; // the simulator at the start: the profile's initial values
    std::map<std::string, int> inIndexBySpec;     // DRF indices the module assigned to read links
    std::map<std::string, int> outIndexBySpec;    // and to write links
    std::vector<std::string> outSpecsByIndex;     // the write-link spec of each outgoing DRF index
    std::vector<double> lastSentE2W;              // the outgoing block as last sent
    size_t logOffset = 0;                         // how much of the run log the timeline holds
    std::vector<TimelineEntry> timeline;
};
ScenarioState& Scenario();

// Resets the flow engine's state (queue, executer, monitor, heard phrase, message queue, voice, runways,
// DRF blocks) and the scenario, installs the runner as the module's sender and as the voice engine, and
// seeds the random choice. The systems model and the settings (the crew's names) are left as they are:
// load the model first (LoadScenarioProfile) or build it by hand.
void StartScenario(const ScenarioSettings& settings = ScenarioSettings{});
// Takes the runner out again: no sender, the plain simulated voice.
void EndScenario();

// Loads the aircraft data folder's poses and systems files as start-up does, then plays the module's part
// of the DRF exchange: every line of the DRF list gets an index (one per distinct spec and direction).
// The simulator starts in the state the profile describes: each variable of a read link holds the initial
// value of the first parameter that reads it. False when the profile has no systems.
bool LoadScenarioProfile(const std::string& acfPath);
// The module's DRF index assignment from the DRF list text ("spec,mode,system,device,parameter,g|s,"),
// with the initial simulator variables.
void AssignDrfIndicesFromList(const std::string& drfListText);

void ScheduleInput(const ScenarioInput& input);
void ScheduleHeard(double time, const std::string& phrase);
void ScheduleSimValue(double time, const std::string& spec, double value);
void ScheduleDrfValue(double time, int index, double value);
void ScheduleKeyEvent(double time, const std::string& spec);
void ScheduleRunways(double time, const std::string& takeoff, const std::string& landing);
// Reads a scenario text: one input per line, "<seconds> <what> <arguments>", where what is
//   heard <phrase>            sim <spec> <value>        drf <index> <value>
//   key <spec>                runways <takeoff>#<landing>
// Blank lines and lines starting with "#" are skipped. A line it cannot read is reported in `errors`
// ("line N: ...") and skipped.
void ParseScenarioText(const std::string& text, std::vector<std::string>& errors);
// A scenario text's lines, LF or CR LF, empty lines kept so that line numbers count them.
std::vector<std::string> TextLines(const std::string& text);

// One main-loop pass at the next 20 ms step: module messages out, the module's answers and the scheduled
// inputs in, monitor, outgoing DRF block, executer, speech monitor.
void RunScenarioPass();
// Passes until the frame time reaches `time`.
void RunScenarioUntil(double time);
// True when nothing is running or waiting: no flow steps, no pause, no speech, no sequential flow, no
// module message or acknowledgement outstanding, no input still to come.
bool ScenarioIdle();
// Passes until idle or until `timeLimit`; true when it became idle.
bool RunScenarioUntilIdle(double timeLimit);

// Entries of one kind, and the spoken lines in order.
std::vector<TimelineEntry> TimelineOf(TimelineKind kind);
std::vector<std::string> SpokenLines();
// The timeline as readable text, one entry per line: "  12.340  SAY  Gear up", log lines left out unless
// asked for.
std::string TimelineText(bool withLogLines = false);
