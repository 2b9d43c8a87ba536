// The whole program against a module that sends line breaks in names, DRF indices out of range and indices
// outside the model.
#include "app/apply_settings.h"
#include "tests/e2e/e2e_fixture.h"

#include "base/helpers.h"
#include "base/settings.h"
#include "systems/model.h"

#include <algorithm>

namespace {
// Every link's index and active flag.
std::vector<std::pair<int32_t, bool>> AllLinks() {
    std::vector<std::pair<int32_t, bool>> out;
    for (const System& s : Systems().systems_vector)
        for (const Device& d : s.Devices)
            for (const OutParameter& p : d.outParameters) {
                out.push_back({p.inDrf.drfIndex, p.inDrf.isActive});
                out.push_back({p.outDrf.drfIndex, p.outDrf.isActive});
            }
    return out;
}
} // namespace

// What a module may send but must not be able to do: add keys to the settings file through a line break,
// write a DRF index outside 0-499, or reach a parameter outside the model, by message or by answer file.
TEST_F(EndToEndTest, InjectionAndOutOfRangeModuleMessagesChangeNothingOutsideTheirPlace) {
    // The answer file the module will point at with message 37: one good record among bad ones.
    WriteBytes(install.work + "drf.txt", "0,0,0,0,700\r\n1,99,0,0,5\r\n0,0,-1,0,5\r\n0,0,0\r\n0,x,0,0,5\r\n"
                                         "0,0,0,0,17\r\n");
    ProgramRun run = Fly(
        {
            "clock ready",
            "at 0.1 message 1 value=700 system=0 device=0 parameter=0",
            "at 0.1 message 3 value=-2 system=0 device=0 parameter=0",
            "at 0.1 message 1 value=5 system=99 device=0 parameter=0",
            "at 0.1 message 3 value=5 system=0 device=99 parameter=0",
            "at 0.1 message 1 value=5 system=0 device=0 parameter=-1",
            "at 0.1 message 4 system=-7 device=0 parameter=0",
            "at 0.1 message 1 value=1e300 system=0 device=0 parameter=0",
            "at 0.3 message 37",
            "at 0.6 control SELECT", // still listening
            "at 0.7 quit",
        },
        [](standin::StandIn& s) {
            FlyTheAirbus(s);
            s.options.assignByFile = false; // its own indices come by messages; the answer file is the test's
            AddAction(s.scenario, 0.1, "foname", "Bob\r\nvoice=0");
            AddAction(s.scenario, 0.15, "username", "Ann\ncapspeech=0");
            AddAction(s.scenario, 0.2, "reckey", "Q\rjc=9");
        });
    EXPECT_FALSE(run.watchdogFired);
    std::vector<std::string> log = SplitLines(run.log);

    // Line breaks never reach the file: eleven lines, each key once, the others' values untouched.
    EXPECT_EQ(
        ReadBytes(install.program + "/data/settings.txt"),
        "voice=1\r\nvolume=95\r\nrate=50\r\ncap=Anncapspeech=0\r\ntvo=Bobvoice0\r\njsel=\r\nkr=Qjc=9\r\n"
        "jr=0\r\njc=1\r\nreal=1\r\ncapspeech=1");
    EXPECT_EQ(Settings().officerName, "Bobvoice=0");
    // Read back as the next start reads it: each value under its own key, no other key touched.
    {
        WorkingFolder cwd(install.program);
        ResetSettings();
        LoadSettings();
    }
    EXPECT_EQ(Settings().captainName, "Anncapspeech=0");
    EXPECT_EQ(Settings().officerName, "Bobvoice0");
    EXPECT_EQ(Settings().recognitionKey, "Qjc=9");
    EXPECT_EQ(Settings().widgetButton, "1");
    EXPECT_EQ(Settings().capSpeech, 1);
    EXPECT_EQ(Settings().voiceIndex, 1); // Zira, who spoke all along
    EXPECT_TRUE(HasLine(log, "---> SPEECH: Talvero name set as Bobvoice=0"));
    EXPECT_TRUE(HasLine(log, "---> SPEECH: User name set as Anncapspeech=0"));

    // Out of range and outside the model: logged, nothing written.
    for (const char* expected : {
             "Module message type 1 DRF index out of range: 700",
             "Module message type 3 DRF index out of range: -2",
             "Module message type 1 names no parameter: 99,0,0",
             "Module message type 3 names no parameter: 0,99,0",
             "Module message type 1 names no parameter: 0,0,-1",
             "Module message type 4 names no parameter: -7,0,0",
             "Module message type 1 DRF index out of range: 2147483647",
             "DRF answer file record skipped: 0,0,0,0,700",
             "DRF answer file record skipped: 1,99,0,0,5",
             "DRF answer file record skipped: 0,0,-1,0,5",
             "DRF answer file record skipped: 0,0,0",
             "DRF answer file record skipped: 0,x,0,0,5",
         })
        EXPECT_TRUE(std::find(log.begin(), log.end(), expected) != log.end()) << expected;
    // The one good record of the answer file took effect; the list file now holds one line feed.
    const OutParameter& first = Systems().systems_vector.at(0).Devices.at(0).outParameters.at(0);
    EXPECT_EQ(first.inDrf.drfIndex, 17);
    EXPECT_TRUE(first.inDrf.isActive);
    EXPECT_EQ(first.outDrf.drfIndex, -1);
    EXPECT_FALSE(first.outDrf.isActive);
    EXPECT_EQ(ReadBytes(install.program + "/data/drf.txt"), "\r\n");
    for (const auto& link : AllLinks()) {
        EXPECT_TRUE(link.first == -1 || (link.first >= 0 && link.first < 500)) << link.first;
        EXPECT_EQ(link.second, link.first != -1) << link.first;
    }
    // And the program kept going.
    EXPECT_TRUE(HasLine(log, "ProcessedControlButtonClick() inEvent = 1"));
    EXPECT_EQ(run.shutdown, (std::vector<std::string>{"destroyWidget", "closeSimulator clear",
                                                      "shutdownGraphics", "shutdownRecognition"}));
}
