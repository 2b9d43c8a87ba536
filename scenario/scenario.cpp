// The scenario runner: the main loop's pass order on a simulated clock, with the runner playing the
// simulator, the module and the captain.
#include "scenario/scenario.h"

#include "base/frame_state.h"
#include "base/helpers.h"
#include "base/log.h"
#include "flow/executer.h"
#include "flow/monitor.h"
#include "flow/phrase_text.h"
#include "poses/pose_catalogue.h"
#include "simlink/module_protocol.h"
#include "speech/recognition_state.h"
#include "speech/simulated_voice.h"
#include "speech/speech_output.h"
#include "systems/drf_arrays.h"
#include "systems/loader.h"
#include "systems/model.h"
#include "systems/phrase_context.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

ScenarioState& Scenario() {
    static ScenarioState state;
    return state;
}

namespace {
constexpr double kTimeSlack = 1e-9; // an input at t is due in the first pass whose time reaches t

void Note(TimelineKind kind, const std::string& text, double value = 0, int index = -1) {
    ScenarioState& s = Scenario();
    TimelineEntry e;
    e.time = s.time;
    e.pass = s.pass;
    e.kind = kind;
    e.text = text;
    e.value = value;
    e.index = index;
    s.timeline.push_back(std::move(e));
}

// The module's answer to a key event: every read link of that spec gets its event.
void RaiseKeyEvent(const std::string& spec) {
    for (System& system : Systems().systems_vector)
        for (Device& device : system.Devices)
            for (OutParameter& p : device.outParameters)
                if (p.inDrf.spec == spec && p.inDrf.varType == kDrfVarK) p.inDrf.eventPending = true;
}

void SetSimVar(const std::string& spec, double value) {
    ScenarioState& s = Scenario();
    s.simVars[spec] = value;
    auto in = s.inIndexBySpec.find(spec);
    if (in != s.inIndexBySpec.end()) Drf().w2e[in->second] = value;
}

// Calculator code as the demo profiles write it: "<number> (>L:NAME)" sets a variable, "(>K:NAME)" fires
// a key event. Anything else is left to the real module.
void RunModuleCode(const std::string& code) {
    size_t at = 0;
    std::string lastNumber;
    while (at < code.size()) {
        while (at < code.size() && code[at] == ' ') ++at;
        if (at >= code.size()) break;
        if (code[at] == '(') {
            size_t close = code.find(')', at);
            if (close == std::string::npos) break;
            std::string inner = code.substr(at + 1, close - at - 1);
            if (inner.size() > 3 && inner[0] == '>') {
                std::string spec = inner.substr(1);
                size_t comma = spec.find(',');
                if (comma != std::string::npos) spec.resize(comma);
                while (!spec.empty() && spec.back() == ' ') spec.pop_back();
                if (spec.rfind("K:", 0) == 0) {
                    RaiseKeyEvent(spec);
                    Note(TimelineKind::SimValue, spec, 1.0);
                } else if (!lastNumber.empty()) {
                    double v = std::strtod(lastNumber.c_str(), nullptr);
                    SetSimVar(spec, v);
                    Note(TimelineKind::SimValue, spec, v);
                }
            }
            lastNumber.clear();
            at = close + 1;
            continue;
        }
        size_t end = code.find_first_of(" (", at);
        if (end == std::string::npos) end = code.size();
        std::string token = code.substr(at, end - at);
        lastNumber = IsNumber(token) ? token : std::string();
        at = end;
    }
}

void RecordSend(uint32_t clientDataId, uint32_t, const void* data, uint32_t size) {
    ScenarioState& s = Scenario();
    if (clientDataId == kClientDataMessageE2W && size == kModuleMessageBytes) {
        ModuleMessage m;
        std::memcpy(&m, data, sizeof m);
        TimelineEntry e;
        e.time = s.time;
        e.pass = s.pass;
        e.kind = TimelineKind::MessageSent;
        e.text = MessageText(m);
        e.type = m.type;
        e.sequence = m.sequence;
        e.value = m.valueOut;
        s.timeline.push_back(e);
        if (m.type == kMsgPose && s.settings.poseSeconds >= 0)
            s.pendingAcks.push_back({m.sequence, s.time + s.settings.poseSeconds});
        if (m.type == kMsgCode) RunModuleCode(e.text);
        return;
    }
    if (clientDataId == kClientDataDrfE2W && size == kDrfBlockBytes) {
        const double* values = static_cast<const double*>(data);
        for (int i = 0; i < kDrfArraySize; ++i) {
            if (std::memcmp(&values[i], &s.lastSentE2W[static_cast<size_t>(i)], sizeof(double)) == 0)
                continue;
            s.lastSentE2W[static_cast<size_t>(i)] = values[i];
            const std::string& spec = s.outSpecsByIndex[static_cast<size_t>(i)];
            Note(TimelineKind::DrfWritten, spec, values[i], i);
            // The module applies the value to the simulator, where read links of the same variable see it.
            if (!spec.empty()) SetSimVar(spec, values[i]);
        }
    }
}

// Lines of a text; CR LF and LF both end a line.

void RunnerSpeak(const std::string& text) {
    Note(TimelineKind::Spoken, text);
    SimulatedSpeak(text);
}

void ApplyInput(const ScenarioInput& in) {
    ScenarioState& s = Scenario();
    switch (in.kind) {
    case ScenarioInputKind::Heard:
        Recognition().heardPhrase = in.text;
        Recognition().displayPhrase = in.text == "any" ? "..." : in.text;
        Note(TimelineKind::Heard, in.text);
        break;
    case ScenarioInputKind::SimValue:
        SetSimVar(in.text, in.value);
        break;
    case ScenarioInputKind::DrfValue:
        if (!IsDrfIndex(in.index)) break;
        Drf().w2e[in.index] = in.value;
        for (const auto& [spec, index] : s.inIndexBySpec)
            if (index == in.index) s.simVars[spec] = in.value;
        break;
    case ScenarioInputKind::KeyEvent:
        RaiseKeyEvent(in.text);
        break;
    case ScenarioInputKind::Runways: {
        std::vector<std::string> parts = SplitAt(in.text, '#');
        if (parts.size() == 2) {
            PhraseText().takeoffRunway = parts[0];
            PhraseText().landingRunway = parts[1];
        }
        break;
    }
    }
}

void CollectLogLines() {
    ScenarioState& s = Scenario();
    const std::string& log = Log().log.text;
    if (s.logOffset > log.size()) s.logOffset = 0; // the log was reset under us
    while (s.logOffset < log.size()) {
        size_t end = log.find('\n', s.logOffset);
        if (end == std::string::npos) break;
        Note(TimelineKind::LogLine, log.substr(s.logOffset, end - s.logOffset));
        s.logOffset = end + 1;
    }
}
} // namespace

std::vector<std::string> TextLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(std::move(line));
        start = end + 1;
    }
    return lines;
}

void StartScenario(const ScenarioSettings& settings) {
    ScenarioState& s = Scenario();
    // The DRF indices and the initial simulator belong to the loaded profile, which a new scenario keeps.
    ScenarioState fresh;
    fresh.inIndexBySpec = std::move(s.inIndexBySpec);
    fresh.outIndexBySpec = std::move(s.outIndexBySpec);
    fresh.outSpecsByIndex = std::move(s.outSpecsByIndex);
    fresh.initialSimVars = std::move(s.initialSimVars);
    s = std::move(fresh);
    s.settings = settings;
    s.lastSentE2W.assign(kDrfArraySize, 0.0);
    s.outSpecsByIndex.resize(kDrfArraySize);
    s.logOffset = Log().log.text.size();

    ResetExecuter();
    ResetMonitor();
    ResetRecognition();
    ResetPhraseText();
    ResetSimulatedVoice();
    ResetSpeechOutput();
    ResetModuleProtocol();
    for (double& v : Drf().w2e) v = 0;
    for (double& v : Drf().e2w) v = 0;
    for (const auto& [spec, value] : s.initialSimVars) SetSimVar(spec, value);
    SpeechOutput().engine = SpeechEngine{RunnerSpeak, SimulatedSpeechStatus};
    ModuleProtocol().sender = ModuleSender{RecordSend};
    Frame().frameTime = 0;
    std::srand(settings.randomSeed);
}

void EndScenario() {
    ModuleProtocol().sender = ModuleSender{};
    SpeechOutput().engine = SimulatedSpeechEngine();
}

void AssignDrfIndicesFromList(const std::string& drfListText) {
    ScenarioState& s = Scenario();
    s.inIndexBySpec.clear();
    s.outIndexBySpec.clear();
    s.initialSimVars.clear();
    s.outSpecsByIndex.assign(kDrfArraySize, std::string());
    int nextIn = 0, nextOut = 0;
    for (const std::string& line : TextLines(drfListText)) {
        std::vector<std::string> f = SplitAt(line, ',');
        if (f.size() < 6) continue;
        int system = 0, device = 0, parameter = 0;
        if (!ReadLeadingInt(f[2], system) || !ReadLeadingInt(f[3], device) ||
            !ReadLeadingInt(f[4], parameter))
            continue;
        OutParameter* p =
            ParameterOf(ParamRef{nullptr, kRefParameter, system, device, parameter, std::string()});
        if (!p) continue;
        bool read = f[5] == "g";
        std::map<std::string, int>& bySpec = read ? s.inIndexBySpec : s.outIndexBySpec;
        int& next = read ? nextIn : nextOut;
        auto found = bySpec.find(f[0]);
        if (found == bySpec.end()) {
            if (next >= kDrfArraySize) continue; // the module has no more room
            found = bySpec.emplace(f[0], next++).first;
            if (!read) s.outSpecsByIndex[static_cast<size_t>(found->second)] = f[0];
            if (read && p->inDrf.varType != kDrfVarK) s.initialSimVars[f[0]] = p->value;
        }
        DrfLink& link = read ? p->inDrf : p->outDrf;
        link.drfIndex = found->second;
        link.isActive = true;
    }
    for (const auto& [spec, value] : s.initialSimVars) SetSimVar(spec, value);
}

bool LoadScenarioProfile(const std::string& acfPath) {
    Frame().AcfPath = acfPath;
    ResetSystems();
    ResetPhraseContext();
    ResetPoseCatalogue();
    ClearDrfText();
    ScanPoses();
    CreateSystemsFromFile();
    AssignDrfIndicesFromList(Log().drf.text);
    return !Systems().systems_vector.empty();
}

void ScheduleInput(const ScenarioInput& input) {
    std::vector<ScenarioInput>& inputs = Scenario().inputs;
    auto at =
        std::upper_bound(inputs.begin() + static_cast<std::ptrdiff_t>(Scenario().nextInput), inputs.end(),
                         input.time, [](double t, const ScenarioInput& e) { return t < e.time; });
    inputs.insert(at, input);
}

void ScheduleHeard(double time, const std::string& phrase) {
    ScheduleInput({time, ScenarioInputKind::Heard, phrase, -1, 0});
}
void ScheduleSimValue(double time, const std::string& spec, double value) {
    ScheduleInput({time, ScenarioInputKind::SimValue, spec, -1, value});
}
void ScheduleDrfValue(double time, int index, double value) {
    ScheduleInput({time, ScenarioInputKind::DrfValue, std::string(), index, value});
}
void ScheduleKeyEvent(double time, const std::string& spec) {
    ScheduleInput({time, ScenarioInputKind::KeyEvent, spec, -1, 0});
}
void ScheduleRunways(double time, const std::string& takeoff, const std::string& landing) {
    ScheduleInput({time, ScenarioInputKind::Runways, takeoff + "#" + landing, -1, 0});
}

void ParseScenarioText(const std::string& text, std::vector<std::string>& errors) {
    int lineNumber = 0;
    for (const std::string& raw : TextLines(text)) {
        ++lineNumber;
        std::string line = raw;
        while (!line.empty() && (line.back() == ' ' || line.back() == '\t')) line.pop_back();
        size_t start = line.find_first_not_of(" \t");
        if (start == std::string::npos || line[start] == '#') continue;
        line.erase(0, start);
        auto fail = [&](const std::string& why) {
            errors.push_back("line " + ToString(lineNumber) + ": " + why + ": " + line);
        };
        char* end = nullptr;
        double time = std::strtod(line.c_str(), &end);
        if (end == line.c_str() || !std::isfinite(time) || time < 0) {
            fail("no time in seconds");
            continue;
        }
        std::string rest = end;
        rest.erase(0, rest.find_first_not_of(' '));
        size_t blank = rest.find(' ');
        std::string what = rest.substr(0, blank);
        std::string args = blank == std::string::npos ? std::string() : rest.substr(blank + 1);
        args.erase(0, args.find_first_not_of(' ') == std::string::npos ? args.size()
                                                                       : args.find_first_not_of(' '));
        // The value of "sim" and "drf" is the last word, so a spec may hold blanks ("A:VERTICAL SPEED").
        size_t lastBlank = args.rfind(' ');
        std::string head = lastBlank == std::string::npos ? std::string() : args.substr(0, lastBlank);
        std::string tail = lastBlank == std::string::npos ? args : args.substr(lastBlank + 1);
        if (what == "heard" && !args.empty()) {
            ScheduleHeard(time, args);
        } else if ((what == "sim" || what == "drf") && !head.empty()) {
            char* valueEnd = nullptr;
            double value = std::strtod(tail.c_str(), &valueEnd);
            if (valueEnd == tail.c_str() || *valueEnd != '\0') {
                fail("no value");
                continue;
            }
            if (what == "sim") {
                ScheduleSimValue(time, head, value);
            } else {
                int index = -1;
                if (!ReadLeadingInt(head, index) || !IsDrfIndex(index)) {
                    fail("no DRF index from 0 to 499");
                    continue;
                }
                ScheduleDrfValue(time, index, value);
            }
        } else if (what == "key" && !args.empty()) {
            ScheduleKeyEvent(time, args);
        } else if (what == "runways" && SplitAt(args, '#').size() == 2) {
            ScheduleInput({time, ScenarioInputKind::Runways, args, -1, 0});
        } else {
            fail("not heard, sim, drf, key or runways with its arguments");
        }
    }
}

void RunScenarioPass() {
    ScenarioState& s = Scenario();
    const double now = static_cast<double>(s.pass) * s.settings.passSeconds;
    s.time = now;
    Frame().frameTime = now;

    PumpOutgoingMessages();

    // What the module and the world send in this pass.
    for (size_t i = 0; i < s.pendingAcks.size();) {
        if (s.pendingAcks[i].due <= now + kTimeSlack) {
            uint32_t sequence = s.pendingAcks[i].sequence;
            s.pendingAcks.erase(s.pendingAcks.begin() + static_cast<std::ptrdiff_t>(i));
            TimelineEntry e;
            e.time = now;
            e.pass = s.pass;
            e.kind = TimelineKind::PoseAcknowledged;
            e.sequence = sequence;
            e.type = kMsgPoseDone;
            s.timeline.push_back(e);
            PoseReached(sequence);
        } else {
            ++i;
        }
    }
    while (s.nextInput < s.inputs.size() && s.inputs[s.nextInput].time <= now + kTimeSlack)
        ApplyInput(s.inputs[s.nextInput++]);

    MonitorSystems();
    SendDrfE2W();
    // A pose step whose pose the catalogue lacks is skipped without a word: the timeline says so.
    const FlowQueue& queue = ExecuterData().executeFlow;
    const size_t queued = queue.size();
    const bool unknownPose = queued > 0 &&
                             (queue.front().type == dotypePos || queue.front().type == dotypePosFast) &&
                             FindPose(queue.front().text) < 0;
    const std::string skippedPose = unknownPose ? queue.front().text : std::string();
    const double skippedValue = unknownPose ? queue.front().value : 0;
    Executer();
    if (unknownPose && queue.size() < queued) Note(TimelineKind::PoseSkipped, skippedPose, skippedValue);
    if (s.settings.speechMonitor) s.settings.speechMonitor();
    CollectLogLines();
    ++s.pass;
}

void RunScenarioUntil(double time) {
    ScenarioState& s = Scenario();
    while (static_cast<double>(s.pass) * s.settings.passSeconds <= time + kTimeSlack) RunScenarioPass();
}

bool ScenarioIdle() {
    const ScenarioState& s = Scenario();
    const ExecuterState& ex = ExecuterData();
    return ex.executeFlow.empty() && ex.stepReady && !ex.waitSpeechEnd && !IsSpeaking() &&
           !(ex.pauseUntil > Frame().frameTime) && !ex.flowActive && ModuleProtocol().outgoing.empty() &&
           s.pendingAcks.empty() && s.nextInput >= s.inputs.size();
}

bool RunScenarioUntilIdle(double timeLimit) {
    ScenarioState& s = Scenario();
    do {
        RunScenarioPass();
        if (ScenarioIdle()) return true;
    } while (static_cast<double>(s.pass) * s.settings.passSeconds <= timeLimit + kTimeSlack);
    return false;
}

std::vector<TimelineEntry> TimelineOf(TimelineKind kind) {
    std::vector<TimelineEntry> out;
    for (const TimelineEntry& e : Scenario().timeline)
        if (e.kind == kind) out.push_back(e);
    return out;
}

std::vector<std::string> SpokenLines() {
    std::vector<std::string> out;
    for (const TimelineEntry& e : Scenario().timeline)
        if (e.kind == TimelineKind::Spoken) out.push_back(e.text);
    return out;
}

std::string TimelineText(bool withLogLines) {
    std::string text;
    char stamp[64];
    char number[64];
    for (const TimelineEntry& e : Scenario().timeline) {
        std::string what;
        switch (e.kind) {
        case TimelineKind::Heard:
            what = "CAPTAIN   " + e.text;
            break;
        case TimelineKind::Spoken:
            what = "SAY       " + e.text;
            break;
        case TimelineKind::MessageSent:
            std::snprintf(number, sizeof number, "MSG %-3u #%-4u", e.type, e.sequence);
            what = std::string(number) + " " + e.text;
            if (e.type == kMsgPose || e.type == kMsgCode) {
                std::snprintf(number, sizeof number, " (%g)", e.value);
                what += number;
            }
            break;
        case TimelineKind::PoseAcknowledged:
            std::snprintf(number, sizeof number, "POSE DONE #%u", e.sequence);
            what = number;
            break;
        case TimelineKind::DrfWritten:
            std::snprintf(number, sizeof number, "DRF %-3d = %g", e.index, e.value);
            what = std::string(number) + (e.text.empty() ? "" : "  " + e.text);
            break;
        case TimelineKind::SimValue:
            std::snprintf(number, sizeof number, " = %g", e.value);
            what = "SIM       " + e.text + number;
            break;
        case TimelineKind::PoseSkipped:
            std::snprintf(number, sizeof number, " (%g)", e.value);
            what = "SKIPPED   pose " + e.text + number + ", not in the catalogue";
            break;
        case TimelineKind::LogLine:
            if (!withLogLines) continue;
            what = "LOG       " + e.text;
            break;
        }
        std::snprintf(stamp, sizeof stamp, "%9.2f  ", e.time);
        text += stamp + what + "\n";
    }
    return text;
}
