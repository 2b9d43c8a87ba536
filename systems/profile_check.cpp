// Counts over the loaded systems model and the list of what in it cannot work.
#include "systems/profile_check.h"

#include "base/helpers.h"
#include "systems/model.h"

ProfileSummary SummariseSystems() {
    ProfileSummary s;
    const SystemsState& state = Systems();
    s.problems = state.problems;
    s.unresolvedNames = state.unresolvedNames;
    for (const System& system : state.systems_vector) {
        ++s.systems;
        for (const Device& device : system.Devices) {
            ++s.devices;
            s.stackDevices += device.isStack;
            for (const OutParameter& p : device.outParameters) {
                ++s.parameters;
                s.logicLines += static_cast<int>(p.logicLines.size());
                s.readLinks += !p.inDrf.spec.empty();
                s.writeLinks += !p.outDrf.spec.empty();
                for (const LogicBlock& block : p.logicBlocks) {
                    ++s.blocks;
                    s.calcs += static_cast<int>(block.calcs.size());
                    for (const CalcExpr& calc : block.calcs)
                        s.calcTokens += static_cast<int>(calc.tokens.size());
                    s.grafPoints += static_cast<int>(block.graf.size());
                    for (const Condition& c : block.conditions) {
                        ++s.conditions;
                        s.phraseConditions += c.left.kind == kRefPhrase;
                    }
                    for (const ExecuteStep& step : block.executeSteps) {
                        ++s.executeSteps;
                        if (step.kind >= 0 && step.kind < kExecuteKindCount) ++s.stepsOfKind[step.kind];
                        if (step.poseUnknown)
                            s.unknownPoses.push_back(system.name + "." + device.name + "." + p.name + ": " +
                                                     step.text);
                    }
                }
            }
        }
    }
    return s;
}

std::vector<std::string> DescribeSummary(const ProfileSummary& s) {
    std::vector<std::string> lines;
    lines.push_back(ToString(s.systems) + " systems, " + ToString(s.devices) + " devices (" +
                    ToString(s.stackDevices) + " sequential), " + ToString(s.parameters) + " parameters, " +
                    ToString(s.logicLines) + " logic lines");
    lines.push_back(ToString(s.blocks) + " blocks, " + ToString(s.conditions) + " conditions (" +
                    ToString(s.phraseConditions) + " on phrases), " + ToString(s.calcs) + " calcs, " +
                    ToString(s.grafPoints) + " graph points, " + ToString(s.executeSteps) +
                    " execute steps, " + ToString(s.readLinks) + " read links, " + ToString(s.writeLinks) +
                    " write links");
    std::string kinds = "execute steps by kind:";
    for (int k = 0; k < kExecuteKindCount; ++k)
        kinds += std::string(" ") + kExecuteKindNames[k] + " " + ToString(s.stepsOfKind[k]);
    lines.push_back(kinds);
    lines.push_back(ToString(static_cast<int>(s.problems.size())) + " lines left out, " +
                    ToString(static_cast<int>(s.unresolvedNames.size())) + " unresolved names, " +
                    ToString(static_cast<int>(s.unknownPoses.size())) + " unknown poses");
    for (const std::string& line : s.problems) lines.push_back("left out: " + line);
    for (const std::string& line : s.unresolvedNames) lines.push_back("unresolved: " + line);
    for (const std::string& line : s.unknownPoses) lines.push_back("unknown pose: " + line);
    return lines;
}
