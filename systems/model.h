// The systems model: systems, their devices and the devices' out parameters, built once from the systems
// files and never changing shape afterwards, so indices into it stay valid for the whole run.
#pragma once
#include "systems/drf_link.h"
#include "systems/logic_types.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

enum ParameterType : int32_t { kTypeInteger = 0, kTypeDouble = 1 };

struct OutParameter {
    std::string name = "NewOut";
    int32_t type = kTypeInteger; // 0 integer ("int", "integer", "execute"), 1 double ("double")
    int32_t intValue = 0;        // value truncated toward zero, for integer parameters
    double value = 0;            // the current value: what logic, flows and phrases read
    std::vector<std::string> logicLines;
    std::vector<LogicBlock> logicBlocks;
    int32_t activeBlock = -1; // the block that fired in the latest evaluation
    DrfLink inDrf;            // read link
    DrfLink outDrf;           // write link
    bool hasMin = false;
    bool hasMax = false;
    double min = 0;
    double max = 0;
};

struct Device {
    std::string name = "NewDevice";
    std::vector<OutParameter> outParameters;
    std::map<std::string, int32_t> outMap; // first definition of a name wins
    bool isStack = false;                  // introduced by "devstack=": a sequence of steps
    bool breakQueued = false;              // the monitor's mark: this device queued a break in this pass
};

struct System {
    std::string name = "NewSystem";
    std::vector<Device> Devices;
    std::map<std::string, int32_t> deviceMap; // first definition of a name wins
};

struct SystemsState {
    std::vector<System> systems_vector;
    std::map<std::string, int32_t> systemIndex; // first definition of a name wins
    // What the latest load and compilation could not use, for authors and tests. Every entry of
    // `problems` was also written to the log; `unresolvedNames` holds "owner: name" for each parameter
    // name in a condition or calc that does not exist (those read as 0).
    std::vector<std::string> problems;
    std::vector<std::string> unresolvedNames;
    // The model is frozen once loading is over and before its logic is compiled: from then on no system,
    // device or parameter is added or removed, so compiled references may hold parameters' addresses.
    // `frozenShape` is the storage the lists had at that moment, for the debug check.
    bool frozen = false;
    std::vector<const void*> frozenShape;
};
SystemsState& Systems();
// Empties the model and the load report, and thaws it (tests; before a load).
void ResetSystems();
// Marks the model frozen: called by the logic compiler before it resolves any reference.
void FreezeSystemsModel();
// The debug check: true while every list of the model still has the storage it had when it was frozen
// (always true for a model that is not frozen).
bool SystemsModelUnchanged();

// The parameter a resolved reference names; nullptr when the reference does not name one.
OutParameter* ParameterOf(const ParamRef& ref);
// "system.device.parameter" of a parameter given by its indices.
std::string FullParameterName(int32_t system, int32_t device, int32_t parameter);
