// The event, command and checklist monitor: once per pass it walks the whole systems model, refreshes
// values from the simulator, evaluates every logic block, queues the flow steps of the blocks that fire,
// runs the sequential devices (checklists and procedures) item by item, and rebuilds the lists the widget
// shows.
#pragma once
#include <cstddef>
#include <string>
#include <vector>

// The entries that "input:" steps of one device added in this pass.
struct MenuGroup {
    std::string deviceName;
    std::vector<std::string> entries;
};

struct MonitorState {
    std::vector<std::string> expectedAnswers; // never empty after a pass ("any" when nothing is expected)
    std::vector<MenuGroup> menuGroups;
    std::string currentRunName;          // the procedure or checklist last started from the widget
    std::vector<size_t> menuEntriesUsed; // scratch of a pass: entries filled per menu group
    std::vector<std::string> loggedAnswers; // the expected answers as the log last gave them
};
MonitorState& MonitorData();
void ResetMonitor();

// One full evaluation of the model; once per pass, before the executer.
void MonitorSystems();
