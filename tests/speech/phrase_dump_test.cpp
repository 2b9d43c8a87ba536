// The start-up dump of say, say-and-wait, input and answer lines, for authors reading the log.
#include "base/log.h"
#include "speech/phrase_dump.h"
#include "systems/loader.h"
#include "systems/model.h"

#include <gtest/gtest.h>

namespace {
TEST(PhraseDump, ListsTheFourSpeakingKindsInModelOrderWithCommasShownAsSemicolons) {
    ResetLog();
    ResetSystems();
    Log().log.path = "";
    Systems().systems_vector.resize(1);
    System& system = Systems().systems_vector[0];
    system.name = "S";
    system.Devices.resize(1);
    system.Devices[0].name = "D";
    system.Devices[0].outParameters.resize(2);
    OutParameter& p = system.Devices[0].outParameters[0];
    p.name = "P";
    p.logicBlocks.resize(2);
    p.logicBlocks[0].executeSteps = {{kExecSay, "gear up, flaps one", 0, false},
                                     {kExecPosition, "work_gear", 0, false},
                                     {kExecSayWait, "check", 0, false}};
    p.logicBlocks[1].executeSteps = {{kExecInput, "set", 0, false}, {kExecAnswer, "checked,set", 0, false},
                                     {kExecPause, "2", 0, false}};
    system.Devices[0].outParameters[1].name = "Q";
    DumpPhraseContext();
    EXPECT_EQ(Log().log.text, "\n---ALL PHRASES:---\n"
                              "say: gear up; flaps one (S.D.P)\n"
                              "s&w: check (S.D.P)\n"
                              "inp: set (S.D.P)\n"
                              "ans: checked;set (S.D.P)\n"
                              "---END CONTEXT---\n\n");
    ResetLog();
    ResetSystems();
    Log().log.path = "";
    DumpPhraseContext();
    EXPECT_EQ(Log().log.text, "\n---ALL PHRASES:---\n---END CONTEXT---\n\n");
    ResetLog();
}
} // namespace
