// The dry flight: the scenario read in either form, the profile flown on the runner, and what of it did
// not work out.
#include "scenario/dry_flight.h"

#include "base/helpers.h"
#include "base/log.h"
#include "flow/executer.h"
#include "flow/monitor.h"
#include "scenario/scenario.h"
#include "simlink/module_protocol.h"
#include "systems/model.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <set>

namespace {
std::string Trimmed(const std::string& s) {
    size_t start = s.find_first_not_of(" \t\r");
    if (start == std::string::npos) return std::string();
    size_t end = s.find_last_not_of(" \t\r");
    return s.substr(start, end - start + 1);
}

// The first word and the rest after its blanks.
std::string FirstWord(const std::string& s, std::string& rest) {
    size_t blank = s.find_first_of(" \t");
    std::string word = s.substr(0, blank);
    rest = blank == std::string::npos ? std::string() : Trimmed(s.substr(blank));
    return word;
}

bool ReadNumber(const std::string& text, double& value) {
    if (text.empty()) return false;
    char* end = nullptr;
    value = std::strtod(text.c_str(), &end);
    return *end == '\0' && std::isfinite(value);
}

// "NAME WITH BLANKS <number>": the value is the last word.
bool NameAndValue(const std::string& text, std::string& name, double& value) {
    size_t blank = text.find_last_of(" \t");
    if (blank == std::string::npos) return false;
    name = Trimmed(text.substr(0, blank));
    return !name.empty() && ReadNumber(text.substr(blank + 1), value);
}

// The stand-in's actions that belong to the module or to the connection: a dry flight has neither.
bool IsModuleAction(const std::string& verb) {
    static const char* const kModule[] = {"control", "realmode",  "capspeech",    "foname",  "username",
                                          "reckey",  "recbutton", "widgetbutton", "jsel",    "log",
                                          "volume",  "rate",      "voice",        "message", "assign",
                                          "drop",    "stall",     "badsize"};
    for (const char* k : kModule)
        if (verb == k) return true;
    return false;
}

void ReadStandInScenario(const std::vector<std::string>& lines, DryFlightReport& report, double& poseSeconds,
                         double& quitTime) {
    double previous = 0;
    for (size_t i = 0; i < lines.size(); ++i) {
        std::string line = lines[i];
        if (!line.empty() && line[0] == '#') continue;
        // A "#" after a blank starts a comment; the runways' own "#" follows no blank.
        size_t hash = line.find(" #");
        if (hash != std::string::npos) line = line.substr(0, hash);
        line = Trimmed(line);
        if (line.empty()) continue;
        const std::string where = "line " + ToString(static_cast<int>(i + 1)) + ": ";
        auto fail = [&](const std::string& why) {
            report.scenarioErrors.push_back(where + why + ": " + line);
        };
        std::string rest;
        const std::string verb = FirstWord(line, rest);
        double number = 0;
        std::string name;
        if (verb == "clock") {
            if (rest != "open" && rest != "ready") fail("clock is \"open\" or \"ready\"");
        } else if (verb == "posetime") {
            std::string after;
            std::string first = FirstWord(rest, after);
            if (after.empty() && ReadNumber(first, number) && number >= 0)
                poseSeconds = number;
            else if (!after.empty() && ReadNumber(after, number) && number >= 0)
                report.scenarioNotes.push_back(
                    where + "every pose takes the common pose time in a dry flight: " + line);
            else
                fail("posetime needs seconds");
        } else if (verb == "set") {
            if (NameAndValue(rest, name, number))
                ScheduleSimValue(0, name, number);
            else
                fail("set needs a name and a number");
        } else if (verb == "at") {
            std::string action;
            std::string when = FirstWord(rest, action);
            bool relative = !when.empty() && when[0] == '+';
            double time = 0;
            if (!ReadNumber(relative ? when.substr(1) : when, time) || time < 0) {
                fail("at needs a time in seconds");
                continue;
            }
            if (relative) time += previous;
            previous = time;
            std::string argument;
            const std::string what = FirstWord(action, argument);
            if (what == "captain" && !argument.empty()) {
                ScheduleHeard(time + kCaptainHeardAfter, argument);
            } else if (what == "set" && NameAndValue(argument, name, number)) {
                ScheduleSimValue(time, name, number);
            } else if (what == "keyevent" && !argument.empty()) {
                ScheduleKeyEvent(time, argument);
            } else if (what == "runways" && SplitAt(argument, '#').size() == 2) {
                std::vector<std::string> both = SplitAt(argument, '#');
                ScheduleRunways(time, both[0], both[1]);
            } else if (what == "quit") {
                quitTime = quitTime < 0 ? time : std::min(quitTime, time);
            } else if (IsModuleAction(what)) {
                report.scenarioNotes.push_back(
                    where + "the module's or the connection's action, not flown dry: " + line);
            } else {
                fail("unknown action or missing argument");
            }
        } else {
            fail("unknown directive");
        }
    }
}

std::string Owner(const System& system, const Device& device, const OutParameter& parameter) {
    return system.name + "." + device.name + "." + parameter.name;
}

std::string Seconds(double t) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", t);
    return text;
}

// A time in the timeline's column.
std::string Stamp(double t) {
    char text[32];
    std::snprintf(text, sizeof text, "%8.2f", t);
    return text;
}

// The runner's timeline in the words of the demo's: what the captain said, what the first officer said
// and did, what she expects.
void DescribeTimeline(DryFlightReport& report) {
    char value[64];
    for (const TimelineEntry& e : Scenario().timeline) {
        std::string what;
        switch (e.kind) {
        case TimelineKind::Heard:
            what = "heard         \"" + e.text + "\"";
            break;
        case TimelineKind::Spoken:
            what = "first officer \"" + e.text + "\"";
            break;
        case TimelineKind::MessageSent:
            std::snprintf(value, sizeof value, " (%g)", e.value);
            if (e.type == kMsgPose) what = "pose          " + e.text + value;
            if (e.type == kMsgCode) what = "code sent     " + e.text + value;
            break;
        case TimelineKind::DrfWritten:
            std::snprintf(value, sizeof value, " = %g", e.value);
            what = "value written " + (e.text.empty() ? "DRF " + ToString(e.index) : e.text) + value;
            break;
        case TimelineKind::SimValue:
            std::snprintf(value, sizeof value, " = %g", e.value);
            what = "aircraft      " + e.text + value;
            break;
        case TimelineKind::PoseSkipped:
            what = "skipped       pose " + e.text + " (not in the catalogue)";
            break;
        case TimelineKind::LogLine:
            if (e.text.rfind("Expected answers: ", 0) == 0) what = "expects       " + e.text.substr(18);
            break;
        case TimelineKind::PoseAcknowledged:
            break;
        }
        if (!what.empty()) report.timeline.push_back(Stamp(e.time) + "  " + what);
    }
}

// The flight's sequential devices, followed pass by pass: a run starts when an item of the device is
// running and ends when all are back to waiting.
struct SequenceWatch {
    std::map<std::string, size_t> running; // device -> its run in the report
    size_t timelineSeen = 0;
};

void WatchSequences(SequenceWatch& watch, DryFlightReport& report) {
    ScenarioState& s = Scenario();
    bool abortHeard = false;
    for (; watch.timelineSeen < s.timeline.size(); ++watch.timelineSeen) {
        const TimelineEntry& e = s.timeline[watch.timelineSeen];
        if (e.kind == TimelineKind::Heard && e.text == "abort") abortHeard = true;
    }
    for (const System& system : Systems().systems_vector) {
        for (const Device& device : system.Devices) {
            if (!device.isStack) continue;
            bool active = false;
            for (const OutParameter& p : device.outParameters) active = active || p.value > 0;
            const std::string name = system.name + "." + device.name;
            auto found = watch.running.find(name);
            if (active && found == watch.running.end()) {
                watch.running[name] = report.runs.size();
                report.runs.push_back({name, s.time, -1, false});
            } else if (!active && found != watch.running.end()) {
                report.runs[found->second].ended = s.time;
                report.runs[found->second].aborted = abortHeard;
                watch.running.erase(found);
            }
        }
    }
}

// What still waits when the flight ends: the item each running procedure or checklist stands at, the
// answers expected, the steps still queued.
void CollectWaiting(DryFlightReport& report) {
    for (const System& system : Systems().systems_vector) {
        for (const Device& device : system.Devices) {
            if (!device.isStack) continue;
            bool active = false;
            for (const OutParameter& p : device.outParameters) active = active || p.value > 0;
            if (!active) continue;
            for (const OutParameter& p : device.outParameters) {
                if (p.value != 0) continue;
                report.waiting.push_back(system.name + "." + device.name + " waits at its item " + p.name);
                break;
            }
        }
    }
    std::string answers;
    for (const std::string& a : MonitorData().expectedAnswers)
        if (a != "any") answers += (answers.empty() ? "" : ", ") + ("\"" + a + "\"");
    if (!answers.empty()) report.waiting.push_back("the first officer expects " + answers);
    const size_t queued = ExecuterData().executeFlow.size();
    if (queued > 0) report.waiting.push_back(ToString(static_cast<int>(queued)) + " flow steps still queued");
}

void CollectLinks(DryFlightReport& report) {
    const ScenarioState& s = Scenario();
    std::set<std::string> moved, written;
    for (const ScenarioInput& in : s.inputs) {
        if (in.kind == ScenarioInputKind::SimValue || in.kind == ScenarioInputKind::KeyEvent)
            moved.insert(in.text);
        if (in.kind == ScenarioInputKind::DrfValue)
            for (const auto& [spec, index] : s.inIndexBySpec)
                if (index == in.index) moved.insert(spec);
    }
    for (const TimelineEntry& e : s.timeline) {
        if (e.kind == TimelineKind::SimValue) moved.insert(e.text);
        if (e.kind == TimelineKind::DrfWritten) written.insert(e.text);
    }
    for (const System& system : Systems().systems_vector) {
        for (const Device& device : system.Devices) {
            for (const OutParameter& p : device.outParameters) {
                if (!p.inDrf.spec.empty() && !moved.count(p.inDrf.spec))
                    report.readLinksNeverMoved.push_back(p.inDrf.spec + " (" + Owner(system, device, p) +
                                                         ")");
                if (!p.outDrf.spec.empty() && !written.count(p.outDrf.spec))
                    report.writeLinksNeverWritten.push_back(p.outDrf.spec + " (" + Owner(system, device, p) +
                                                            ")");
            }
        }
    }
}
} // namespace

bool DryFlightReport::Clean() const {
    if (!scenarioErrors.empty() || !profileLoaded || !skippedSteps.empty() || !waiting.empty()) return false;
    for (const SequenceRun& run : runs)
        if (run.ended < 0) return false;
    return settled;
}

void ReadDryFlightScenario(const std::string& text, DryFlightReport& report, double& poseSeconds,
                           double& quitTime) {
    std::vector<std::string> lines = TextLines(text);
    // The form shows in the first line that is neither blank nor a comment: a time, or a directive.
    for (const std::string& raw : lines) {
        std::string line = Trimmed(raw);
        if (line.empty() || line[0] == '#') continue;
        std::string rest;
        double time = 0;
        if (ReadNumber(FirstWord(line, rest), time)) {
            ParseScenarioText(text, report.scenarioErrors);
            return;
        }
        break;
    }
    ReadStandInScenario(lines, report, poseSeconds, quitTime);
}

DryFlightReport FlyDry(const std::string& aircraftFolder, const std::string& scenarioText,
                       double extraSeconds) {
    DryFlightReport report;
    // The run log and the DRF list stay in memory: a dry flight writes nothing beside the profile.
    Log().log.path.clear();
    Log().drf.path.clear();
    report.profileLoaded = LoadScenarioProfile(aircraftFolder);
    report.profileProblems = Systems().problems;
    if (!report.profileLoaded) return report;

    ScenarioSettings settings;
    StartScenario(settings);
    double poseSeconds = settings.poseSeconds;
    double quitTime = -1;
    ReadDryFlightScenario(scenarioText, report, poseSeconds, quitTime);
    ScenarioState& s = Scenario();
    s.settings.poseSeconds = poseSeconds;
    const double lastInput = s.inputs.empty() ? 0 : s.inputs.back().time;
    const double limit = quitTime >= 0 ? quitTime : lastInput + extraSeconds;

    SequenceWatch watch;
    for (;;) {
        RunScenarioPass();
        WatchSequences(watch, report);
        if (s.time >= limit) break;
        if (quitTime < 0 && s.time >= lastInput && ScenarioIdle()) break;
    }
    report.endTime = s.time;
    report.settled = ScenarioIdle();

    DescribeTimeline(report);
    for (const TimelineEntry& e : TimelineOf(TimelineKind::PoseSkipped))
        report.skippedSteps.push_back(Seconds(e.time) + "  pose " + e.text);
    CollectWaiting(report);
    CollectLinks(report);
    EndScenario();
    return report;
}

std::vector<std::string> DescribeDryFlight(const DryFlightReport& report) {
    std::vector<std::string> out = report.timeline;
    out.push_back("");
    out.push_back("dry flight: " + Seconds(report.endTime) + " s flown");
    auto list = [&](const std::string& title, const std::vector<std::string>& items) {
        if (items.empty()) return;
        out.push_back(title + " (" + ToString(static_cast<int>(items.size())) + "):");
        for (const std::string& item : items) out.push_back("  " + item);
    };
    list("scenario lines not read", report.scenarioErrors);
    list("scenario lines left out", report.scenarioNotes);
    if (!report.profileLoaded) out.push_back("the profile has no systems: nothing was flown");
    if (!report.profileProblems.empty())
        out.push_back("the profile's load report has " +
                      ToString(static_cast<int>(report.profileProblems.size())) +
                      " lines (syscipher check lists them)");
    int finished = 0, aborted = 0, running = 0;
    std::vector<std::string> runs;
    for (const SequenceRun& run : report.runs) {
        if (run.ended < 0) {
            ++running;
            runs.push_back(Seconds(run.started) + "  " + run.device + " started, still running");
        } else {
            (run.aborted ? aborted : finished) += 1;
            runs.push_back(Seconds(run.started) + "  " + run.device +
                           (run.aborted ? " aborted at " : " finished at ") + Seconds(run.ended));
        }
    }
    out.push_back("procedures and checklists: " + ToString(static_cast<int>(report.runs.size())) +
                  " started, " + ToString(finished) + " finished, " + ToString(aborted) + " aborted, " +
                  ToString(running) + " still running");
    for (const std::string& line : runs) out.push_back("  " + line);
    list("still waiting at the end", report.waiting);
    list("steps skipped", report.skippedSteps);
    list("read links the flight never moved", report.readLinksNeverMoved);
    list("write links the flight never wrote", report.writeLinksNeverWritten);
    out.push_back(report.Clean() ? "dry flight: clean" : "dry flight: something to look at (above)");
    return out;
}
