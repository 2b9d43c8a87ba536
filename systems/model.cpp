// The process-wide systems model and lookups on it.
#include "systems/model.h"

#include "base/log.h"

SystemsState& Systems() {
    static SystemsState state;
    return state;
}

void ResetSystems() {
    Systems() = SystemsState{};
}

void ReportSystemsProblem(const std::string& line) {
    WriteLog(line);
    Systems().problems.push_back(line);
}

namespace {
// Where each list of the model keeps its records, with its length: any growth or shrinking shows.
std::vector<const void*> ShapeOf(const std::vector<System>& systems) {
    std::vector<const void*> shape;
    auto add = [&](const void* data, size_t size) {
        shape.push_back(data);
        shape.push_back(reinterpret_cast<const void*>(size));
    };
    add(systems.data(), systems.size());
    for (const System& s : systems) {
        add(s.Devices.data(), s.Devices.size());
        for (const Device& d : s.Devices) add(d.outParameters.data(), d.outParameters.size());
    }
    return shape;
}
} // namespace

void FreezeSystemsModel() {
    SystemsState& state = Systems();
    state.frozen = true;
    state.frozenShape = ShapeOf(state.systems_vector);
}

bool SystemsModelUnchanged() {
    const SystemsState& state = Systems();
    return !state.frozen || ShapeOf(state.systems_vector) == state.frozenShape;
}

OutParameter* ParameterOf(const ParamRef& ref) {
    if (ref.kind != kRefParameter) return nullptr;
    std::vector<System>& systems = Systems().systems_vector;
    if (ref.system < 0 || static_cast<size_t>(ref.system) >= systems.size()) return nullptr;
    std::vector<Device>& devices = systems[ref.system].Devices;
    if (ref.device < 0 || static_cast<size_t>(ref.device) >= devices.size()) return nullptr;
    std::vector<OutParameter>& parameters = devices[ref.device].outParameters;
    if (ref.parameter < 0 || static_cast<size_t>(ref.parameter) >= parameters.size()) return nullptr;
    return &parameters[ref.parameter];
}

std::string FullParameterName(int32_t system, int32_t device, int32_t parameter) {
    const std::vector<System>& systems = Systems().systems_vector;
    if (system < 0 || static_cast<size_t>(system) >= systems.size()) return std::string();
    const System& s = systems[system];
    if (device < 0 || static_cast<size_t>(device) >= s.Devices.size()) return std::string();
    const Device& d = s.Devices[device];
    if (parameter < 0 || static_cast<size_t>(parameter) >= d.outParameters.size()) return std::string();
    return s.name + "." + d.name + "." + d.outParameters[parameter].name;
}

namespace {
std::string OriginText(int32_t at) {
    const SystemsState& state = Systems();
    if (at < 0 || static_cast<size_t>(at) >= state.lineOrigins.size()) return std::string();
    const LineOrigin& origin = state.lineOrigins[static_cast<size_t>(at)];
    if (origin.file < 0 || static_cast<size_t>(origin.file) >= state.sourceFiles.size()) return std::string();
    return state.sourceFiles[static_cast<size_t>(origin.file)] + " line " + std::to_string(origin.line);
}
} // namespace

std::string LogicLineOrigin(const OutParameter& parameter, size_t logicLine) {
    if (parameter.firstLogicLine < 0) return std::string();
    return OriginText(parameter.firstLogicLine + static_cast<int32_t>(logicLine));
}

std::string OutLineOrigin(const OutParameter& parameter) {
    return OriginText(parameter.outLine);
}
