// The systems model: systems, their devices and the devices' out parameters, built once from the systems
// files and never changing shape afterwards, so indices into it stay valid for the whole run.
#pragma once
#include "systems/drf_arrays.h"
#include "systems/drf_link.h"
#include "systems/logic_types.h"
#include "systems/numbers.h"
#include "systems/program.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

enum ParameterType : int32_t { kTypeInteger = 0, kTypeDouble = 1 };

// What every pass reads and writes comes first: the value, then the two links, whose indices and flags
// end within the first 128 bytes; texts and lists last. The monitor walks every parameter each pass, and
// this keeps it to one aligned pair of cache lines per parameter (the limits it reads from the evaluation
// program, which copies them).
struct alignas(128) OutParameter {
    double value = 0;            // the current value: what logic, flows and phrases read
    int32_t intValue = 0;        // value truncated toward zero, for integer parameters
    int32_t type = kTypeInteger; // 0 integer ("int", "integer", "execute"), 1 double ("double")
    int32_t activeBlock = -1;    // the block that fired in the latest evaluation
    bool hasMin = false;
    bool hasMax = false;
    DrfLink inDrf;  // read link
    DrfLink outDrf; // write link
    double min = 0;
    double max = 0;
    std::string name = "NewOut";
    std::vector<std::string> logicLines;
    std::vector<LogicBlock> logicBlocks;
    int32_t firstLogicLine = -1; // where its first logic line came from: an index of lineOrigins
    int32_t outLine = -1;        // where its out line came from: an index of lineOrigins
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

// Where a systems line came from: a file of SystemsState::sourceFiles and its line number there (for an
// enciphered file, the line of its deciphered text).
struct LineOrigin {
    int32_t file = -1;
    int32_t line = 0;
};

// The values of the latest phrase with slots that a phrase condition matched, which the references
// "{1}".."{8}" read: the number, and the words as they are read back (see SlotValue).
struct HeardSlots {
    double values[kMaxSlotsPerPhrase] = {};
    std::string spelled[kMaxSlotsPerPhrase];
    int count = 0;
    int32_t pattern = -1; // the phrase they were heard in: an index of SystemsState::slotPatterns
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
    // The compiled logic in the compact form the monitor evaluates (built with the logic).
    LogicProgram program;
    // The origin of every line the loader parsed, in order, and the files they came from.
    std::vector<LineOrigin> lineOrigins;
    std::vector<std::string> sourceFiles;
    // The patterns of the phrase conditions with slots (Condition::slotPattern indexes them), and what the
    // latest of them heard. The values keep their place for the whole run: the program reads them there.
    std::vector<PhrasePattern> slotPatterns;
    HeardSlots heardSlots;
};
SystemsState& Systems();
// Empties the model and the load report, and thaws it (tests; before a load).
void ResetSystems();
// Writes `line` to the log and keeps it in the load report (Systems().problems): the lines the loader or
// the compiler cannot use go there.
void ReportSystemsProblem(const std::string& line);
// Marks the model frozen: called by the logic compiler before it resolves any reference.
void FreezeSystemsModel();
// The debug check: true while every list of the model still has the storage it had when it was frozen
// (always true for a model that is not frozen).
bool SystemsModelUnchanged();

// The parameter a resolved reference names; nullptr when the reference does not name one.
OutParameter* ParameterOf(const ParamRef& ref);
// "file line N" for a logic line of a parameter (its index among the parameter's logic lines); empty when
// the loader was not told where the lines came from.
std::string LogicLineOrigin(const OutParameter& parameter, size_t logicLine);
// "file line N" for a parameter's out line; empty when the loader was not told where lines came from.
std::string OutLineOrigin(const OutParameter& parameter);
// "system.device.parameter" of a parameter given by its indices.
std::string FullParameterName(int32_t system, int32_t device, int32_t parameter);

// The read step of a parameter: refreshes it from its read link and returns the input of its evaluation.
// A key-event link gives 1.0 from its first event on; a link without an index leaves the parameter as it is
// and the input is the parameter's current value.
// Inline: the monitor runs it for every parameter on every pass.
inline double ReadInDrf(OutParameter& parameter) {
    DrfLink& link = parameter.inDrf;
    // An index from outside that is not usable counts as none.
    const bool indexed = IsDrfIndex(link.drfIndex);
    double input = 0;
    if (link.varType == kDrfVarK) {
        if (link.eventPending) {
            link.value = 1.0;
            link.eventPending = false;
        }
        input = link.value;
    } else if (indexed) {
        input = Drf().w2e[link.drfIndex];
        link.value = input;
    }
    if (!indexed) return parameter.value;
    parameter.value = input;
    parameter.intValue = TruncateToInt32(input);
    return input;
}

// The store step of a parameter, once its limits are applied to its new value x: the value kept by the
// parameter's type (integer parameters also take it truncated; other types never store it), then written
// through an active write link. Inline, as the read step.
inline void StoreParameterValue(OutParameter& parameter, double x) {
    if (parameter.type == kTypeInteger) {
        parameter.intValue = TruncateToInt32(x);
        parameter.value = x;
    } else if (parameter.type == kTypeDouble) {
        parameter.value = x;
    }
    if (parameter.outDrf.isActive) WriteOutDrf(parameter.outDrf, x);
}
