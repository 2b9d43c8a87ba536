// The monitor: one evaluation of the whole systems model per pass. Events, commands and checklists are
// all logic blocks; sequential devices run their parameters one item at a time. The lists it rebuilds
// every pass reuse their storage, so a warm pass that fires nothing does not touch the heap.
#include "flow/monitor.h"

#include "base/frame_state.h"
#include "base/helpers.h"
#include "base/log.h"
#include "flow/executer.h"
#include "speech/recognition_state.h"
#include "systems/logic.h"
#include "systems/logic_program.h"
#include "systems/model.h"
#include "systems/numbers.h"

#include <cassert>
#include <cstdio>

MonitorState& MonitorData() {
    static MonitorState state;
    return state;
}

void ResetMonitor() {
    MonitorData() = MonitorState{};
}

namespace {
// Which log line a system's firing blocks write.
enum class SystemKind { Silent, Events, Commands, Checklist };

SystemKind KindOfSystem(const std::string& name) {
    if (name == "EVENTS") return SystemKind::Events;
    if (name == "COMMANDS") return SystemKind::Commands;
    if (name == "CHECKLIST") return SystemKind::Checklist;
    return SystemKind::Silent;
}

// The pass's lists are filled into the storage of the previous pass and trimmed at the end.
struct PassLists {
    size_t answers = 0;
    size_t groups = 0;
    std::vector<size_t> entries; // entries used per group
};

void AddExpectedAnswer(MonitorState& m, PassLists& used, const std::string& text) {
    if (used.answers < m.expectedAnswers.size())
        m.expectedAnswers[used.answers].assign(text);
    else
        m.expectedAnswers.push_back(text);
    ++used.answers;
}

bool IsExpected(const MonitorState& m, const PassLists& used, const std::string& text) {
    for (size_t i = 0; i < used.answers; ++i)
        if (m.expectedAnswers[i] == text) return true;
    return false;
}

void AddMenuEntry(MonitorState& m, PassLists& used, const std::string& device, const std::string& text) {
    if (used.groups == 0 || m.menuGroups[used.groups - 1].deviceName != device) {
        if (used.groups == m.menuGroups.size()) m.menuGroups.emplace_back();
        if (used.groups == used.entries.size()) used.entries.push_back(0);
        m.menuGroups[used.groups].deviceName.assign(device);
        used.entries[used.groups] = 0;
        ++used.groups;
    }
    MenuGroup& group = m.menuGroups[used.groups - 1];
    size_t& count = used.entries[used.groups - 1];
    if (count < group.entries.size())
        group.entries[count].assign(text);
    else
        group.entries.push_back(text);
    ++count;
}

// Where there is no widget to show them (and for authors reading a run), the log says which answers the
// first officer waits for, once each time the list changes.
void LogExpectedAnswersWhenChanged(MonitorState& m) {
    if (m.expectedAnswers == m.loggedAnswers) return;
    m.loggedAnswers = m.expectedAnswers;
    std::string line = "Expected answers:";
    for (const std::string& answer : m.expectedAnswers) line += " \"" + answer + "\"";
    WriteLog(line);
}

void TrimLists(MonitorState& m, const PassLists& used) {
    m.expectedAnswers.resize(used.answers);
    m.menuGroups.resize(used.groups);
    for (size_t g = 0; g < used.groups; ++g) m.menuGroups[g].entries.resize(used.entries[g]);
}

void LogFiring(SystemKind kind, const System& system, const Device& device, const OutParameter& parameter,
               size_t index, size_t block) {
    const char* prefix = nullptr;
    switch (kind) {
    case SystemKind::Events:
        prefix = "---> EVENT: ";
        break;
    case SystemKind::Commands:
        prefix = "---> COMMAND: ";
        break;
    case SystemKind::Checklist:
        if (device.isStack && index == 0) prefix = "---> CHECKLIST: ";
        break;
    case SystemKind::Silent:
        break;
    }
    if (!prefix) return;
    WriteLog(prefix + system.name + "." + device.name + "." + parameter.name + " B " +
             ToString(static_cast<int>(block)));
}

// The "%f" text of a pause's seconds.
std::string PauseText(double seconds) {
    int length = std::snprintf(nullptr, 0, "%f", seconds);
    std::string text(static_cast<size_t>(length > 0 ? length : 0), '\0');
    std::snprintf(text.data(), text.size() + 1, "%f", seconds);
    return text;
}

// Turns a fired block's execute steps into flow steps and the lists they feed.
void QueueSteps(MonitorState& m, PassLists& used, Device& device, const LogicBlock& block, double now) {
    ExecuterState& ex = ExecuterData();
    for (const ExecuteStep& step : block.executeSteps) {
        switch (step.kind) {
        case kExecSay:
            ex.executeFlow.push_back(dotypeSay, step.text, 0);
            break;
        case kExecSayWait:
            ex.executeFlow.push_back(dotypeSayWait, step.text, 0);
            break;
        case kExecPosition:
            ex.executeFlow.push_back(dotypePos, step.text, step.value);
            break;
        case kExecBreak:
            ex.executeFlow.push_back(dotypeBreak, step.text, 0);
            device.breakQueued = true;
            break;
        case kExecPause:
            ex.executeFlow.push_back(dotypePause, PauseText(step.value), 0);
            break;
        case kExecSetValue:
            ex.executeFlow.push_back(dotypeCode, step.text, step.value);
            break;
        case kExecInput:
            AddMenuEntry(m, used, device.name, step.text);
            break;
        case kExecAnswer: {
            std::vector<AnswerDeadline>& deadlines = ex.answerDeadlines;
            std::erase_if(deadlines, [&](const AnswerDeadline& d) { return d.text == step.text; });
            if (step.value > 0) deadlines.push_back({step.text, now + step.value});
            break;
        }
        default: // cmd once, cmd begin, cmd end, pass, cmd endnow
            break;
        }
    }
}

// What one pass works with, handed to the evaluation of each parameter.
struct Pass {
    MonitorState& m;
    PassLists& used;
    LogicProgram& program;
    std::string& heard; // the phrase just recognised, consumed by the block that tests it
    double now;
    bool& anyAnswerExpected; // recognition's: one of the answers waited for is "any"
};

void EvaluateParameter(Pass& pass, SystemKind kind, System& system, Device& device, size_t index,
                       const ProgramParameter& pp) {
    OutParameter& p = *pp.parameter;
    LogicProgram& program = pass.program;
    const double input = ReadInDrf(p);
    double x = input;
    bool anyFired = false;
    ProgramBlock* const blocks = program.blocks.data() + pp.firstBlock;
    for (uint32_t k = 0; k < pp.blockCount; ++k) {
        ProgramBlock& block = blocks[k];
        bool running = true;
        bool phraseSeen = false;
        bool slotPhraseSeen = false;
        ProgramCondition* c = program.conditions.data() + block.firstCondition;
        for (ProgramCondition* const end = c + block.conditionCount; c != end; ++c) {
            if (c->flags & kConditionPhrase) {
                const std::string& text = *program.phrases[c->extra];
                if (c->flags & kConditionPhraseAny)
                    pass.anyAnswerExpected = true;
                else if (device.isStack && index > 0 && !IsExpected(pass.m, pass.used, text))
                    AddExpectedAnswer(pass.m, pass.used, text);
                running = EvaluateProgramPhraseCondition(program, *c, running, pass.heard);
                phraseSeen = true;
                slotPhraseSeen = slotPhraseSeen || (c->flags & kConditionPhraseSlots);
            } else {
                running = EvaluateProgramCondition(program, *c, running);
            }
        }
        if (!running) {
            SetProgramBlockFired(block, false);
            continue;
        }
        if (phraseSeen && !pass.heard.empty()) {
            // Consumed, even when an earlier block has fired; the values in it are logged once.
            if (slotPhraseSeen) WriteLog(HeardSlotsLine());
            pass.heard.clear();
        }
        if (anyFired) {
            SetProgramBlockFired(block, false);
            continue;
        }
        anyFired = true;
        SetProgramBlockFired(block, true);
        p.activeBlock = static_cast<int32_t>(k);
        if (block.hasSteps) {
            LogFiring(kind, system, device, p, index, k);
            QueueSteps(pass.m, pass.used, device, *block.record, pass.now);
        }
        if (device.isStack && device.breakQueued) {
            x = 2.0;
            pass.m.currentRunName.clear();
        } else if (device.isStack && block.hasSteps) {
            x = 1.0;
        } else {
            x = EvaluateProgramBlockValue(program, block, input);
        }
    }
    StoreProgramValue(pp, x);
}

// A sequential device: its parameters are a trigger and items that run strictly one after another.
void MonitorStackDevice(Pass& pass, SystemKind kind, System& system, Device& device,
                        const ProgramParameter* parameters) {
    std::vector<OutParameter>& params = device.outParameters;
    ExecuterState& ex = ExecuterData();
    for (size_t i = 0; i < params.size(); ++i) {
        OutParameter& p = params[i];
        if (p.value > 0) {
            ex.flowActive = true;
            if (i + 1 == params.size() || pass.heard == "abort") {
                // Complete, or aborted: every item back to waiting; the rest is not visited this pass.
                for (OutParameter& q : params) {
                    q.intValue = 0;
                    q.value = 0.0;
                }
                pass.m.currentRunName.clear();
                return;
            }
            continue;
        }
        if (p.value == 0 && i > 0 && params[i - 1].value == 0) continue; // its turn has not come
        if (!ex.executeFlow.empty()) continue;                           // the previous item still runs
        if (i > 0 && params[i - 1].value == 2.0) {                       // broken off: cascade
            p.intValue = 2;
            p.value = 2.0;
            continue;
        }
        EvaluateParameter(pass, kind, system, device, i, parameters[i]);
    }
}
} // namespace

void MonitorSystems() {
    // The model never changes shape after loading (compiled references hold addresses into it).
    assert(SystemsModelUnchanged());
    MonitorState& m = MonitorData();
    ExecuterState& ex = ExecuterData();
    const double now = Frame().frameTime;
    PassLists used;
    used.entries.swap(m.menuEntriesUsed); // its storage is kept from pass to pass as well

    ex.flowActive = false;
    std::vector<AnswerDeadline>& deadlines = ex.answerDeadlines;
    for (size_t i = 0; i < deadlines.size();) {
        AddExpectedAnswer(m, used, deadlines[i].text);
        if (deadlines[i].deadline < now)
            deadlines.erase(deadlines.begin() + static_cast<std::ptrdiff_t>(i));
        else
            ++i;
    }
    RecognitionState& recognition = Recognition();
    recognition.anyAnswerExpected = false;

    // The program lists every parameter in model order; a device's parameters follow one another.
    LogicProgram& program = Systems().program;
    if (!program.built) BuildLogicProgram();
    Pass pass{m, used, program, recognition.heardPhrase, now, recognition.anyAnswerExpected};
    const ProgramParameter* parameters = program.parameters.data();
    for (System& system : Systems().systems_vector) {
        SystemKind kind = KindOfSystem(system.name);
        for (Device& device : system.Devices) {
            device.breakQueued = false;
            assert(device.outParameters.empty() || parameters->parameter == device.outParameters.data());
            if (device.isStack) {
                MonitorStackDevice(pass, kind, system, device, parameters);
            } else {
                for (size_t i = 0; i < device.outParameters.size(); ++i) {
                    if (parameters[i].plain)
                        EvaluatePlainParameter(program, parameters[i]);
                    else
                        EvaluateParameter(pass, kind, system, device, i, parameters[i]);
                }
            }
            parameters += device.outParameters.size();
        }
    }
    if (used.answers == 0) AddExpectedAnswer(m, used, "any");
    TrimLists(m, used);
    LogExpectedAnswersWhenChanged(m);
    used.entries.swap(m.menuEntriesUsed);
}
