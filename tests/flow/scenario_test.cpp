// The scenario runner itself: its text form, the module's part it plays (DRF indices, values going round
// through the simulator, simple calculator code, runways) and the readable timeline.
#include "flow_fixture.h"

namespace {
using ScenarioTest = FlowTest;

TEST_F(ScenarioTest, TextFormSchedulesInputsAndReportsBadLines) {
    std::vector<std::string> errors;
    ParseScenarioText("# a comment\r\n"
                      "\r\n"
                      "0.5 heard gear up\r\n"
                      "0.25 sim A:VERTICAL SPEED 1500\n"
                      "  1 drf 12 -3.5\n"
                      "2 key K:GEAR_UP\n"
                      "3 runways 27L#09R\n"
                      "heard flaps five\n"
                      "4 drf 500 1\n"
                      "4 sim A:ALT high\n"
                      "5 runways 27L\n"
                      "6 shout hello\n",
                      errors);
    const std::vector<ScenarioInput>& in = Scenario().inputs;
    ASSERT_EQ(in.size(), 5u);
    EXPECT_EQ(in[0].kind, ScenarioInputKind::SimValue) << "kept in time order";
    EXPECT_EQ(in[0].text, "A:VERTICAL SPEED");
    EXPECT_EQ(in[0].value, 1500);
    EXPECT_EQ(in[1].text, "gear up");
    EXPECT_EQ(in[2].index, 12);
    EXPECT_EQ(in[2].value, -3.5);
    EXPECT_EQ(in[3].kind, ScenarioInputKind::KeyEvent);
    EXPECT_EQ(in[4].text, "27L#09R");
    ASSERT_EQ(errors.size(), 5u);
    EXPECT_EQ(errors[0], "line 8: no time in seconds: heard flaps five");
    EXPECT_EQ(errors[1], "line 9: no DRF index from 0 to 499: 4 drf 500 1");
    EXPECT_EQ(errors[2], "line 10: no value: 4 sim A:ALT high");
    EXPECT_EQ(errors[4], "line 12: not heard, sim, drf, key or runways with its arguments: 6 shout hello");
}

TEST_F(ScenarioTest, ModuleRoundTripsValuesAndRunsSimpleCode) {
    LoadProfile("sys=LIGHTS\n"
                "dev=BEACON\n"
                "out=SWITCH,int,,0,,,L:BEACON_SW,new,,,,0\n"
                "out=COMMAND,int,,0,,,,,L:BEACON_SW,new,,0\n"
                "logic:\n"
                "instring=beacon on\n"
                "execute=0,Beacon on,0\n"
                "calc=1\n"
                "out=STROBE,int,,0,,,L:STROBE_SW,exist,,,,0\n"
                "out=FLAPKEY,int,,0,,,K:FLAPS_INCR,new,,,,0\n"
                "out=RAW,double,,0,,,A:RAW VALUE,new,,,,0\n"
                "out=ANNOUNCE,int,,0,,,,,,,,0\n"
                "logic:\n"
                "instring=strobes\n"
                "execute=8,1 (>L:STROBE_SW) (>K:FLAPS_INCR),0\n"
                "execute=0,Runway [TORW],0\n");
    // One index for each link spec and direction: both links of L:BEACON_SW get an index of their own array.
    EXPECT_EQ(Param("LIGHTS.BEACON.SWITCH").inDrf.drfIndex, 0);
    EXPECT_EQ(Param("LIGHTS.BEACON.COMMAND").outDrf.drfIndex, 0);
    EXPECT_EQ(Param("LIGHTS.BEACON.STROBE").inDrf.drfIndex, 1);
    EXPECT_EQ(Param("LIGHTS.BEACON.FLAPKEY").inDrf.drfIndex, 2);
    EXPECT_EQ(Param("LIGHTS.BEACON.RAW").inDrf.drfIndex, 3);

    ScheduleHeard(0.1, "beacon on");
    ScheduleRunways(0.2, "27L", "09R");
    ScheduleHeard(0.3, "strobes");
    ScheduleDrfValue(0.4, 3, 42.5);
    RunScenarioUntil(1.0);
    EXPECT_EQ(Param("LIGHTS.BEACON.SWITCH").value, 1) << "written out, seen back in the next pass";
    EXPECT_EQ(Param("LIGHTS.BEACON.STROBE").value, 1) << "code sent to the module";
    EXPECT_EQ(Param("LIGHTS.BEACON.FLAPKEY").value, 1) << "a key event fired by code";
    EXPECT_EQ(Param("LIGHTS.BEACON.RAW").value, 42.5);
    EXPECT_EQ(SpokenLines(), (std::vector<std::string>{"Beacon on", "Runway 27 LEFT"}));

    std::string text = TimelineText();
    EXPECT_NE(text.find("     0.10  CAPTAIN   beacon on\n"), std::string::npos) << text;
    EXPECT_NE(text.find("     0.10  SAY       Beacon on\n"), std::string::npos) << text;
    EXPECT_NE(text.find("     0.10  DRF 0   = 1  L:BEACON_SW\n"), std::string::npos) << text;
    EXPECT_NE(text.find("MSG 5   #"), std::string::npos) << text;
    EXPECT_NE(text.find("SIM       L:STROBE_SW = 1\n"), std::string::npos) << text;
    EXPECT_EQ(text.find("LOG"), std::string::npos);
    EXPECT_NE(TimelineText(true).find("LOG       ---> SPEECH: Beacon on\n"), std::string::npos);
}

TEST_F(ScenarioTest, IdleMeansNothingRunsOrWaits) {
    EXPECT_TRUE(RunScenarioUntilIdle(1));
    ScheduleHeard(2.0, "anything");
    EXPECT_FALSE(ScenarioIdle()) << "an input still to come";
    RunScenarioUntil(2.0);
    EXPECT_TRUE(ScenarioIdle());
    Queue(dotypeSayWait, "A long line that takes the simulated voice a while");
    RunScenarioPass();
    EXPECT_FALSE(ScenarioIdle());
    EXPECT_TRUE(RunScenarioUntilIdle(10));
    EXPECT_FALSE(IsSpeaking());
}
} // namespace
