// The start-up dump of every line the scripts make the first officer say or wait for.
#include "speech/phrase_dump.h"

#include "base/helpers.h"
#include "base/log.h"
#include "systems/model.h"

namespace {
const char* DumpPrefix(int32_t kind) {
    switch (kind) {
    case kExecSay: return "say: ";
    case kExecSayWait: return "s&w: ";
    case kExecInput: return "inp: ";
    case kExecAnswer: return "ans: ";
    default: return nullptr;
    }
}
} // namespace

void DumpPhraseContext() {
    WriteLog("");
    WriteLog("---ALL PHRASES:---");
    for (const System& system : Systems().systems_vector)
        for (const Device& device : system.Devices)
            for (const OutParameter& parameter : device.outParameters)
                for (const LogicBlock& block : parameter.logicBlocks)
                    for (const ExecuteStep& step : block.executeSteps)
                        if (const char* prefix = DumpPrefix(step.kind))
                            WriteLog(prefix + ReplaceAll(step.text, ",", ";") + " (" + system.name + "." +
                                     device.name + "." + parameter.name + ")");
    WriteLog("---END CONTEXT---");
    WriteLog("");
}
