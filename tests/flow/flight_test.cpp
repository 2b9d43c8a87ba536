// A whole flight on the demo 737 profile through the scenario runner: greeting, the before start
// checklist, pushback, both engine starts, flaps, the before takeoff checklist, the takeoff call-outs,
// gear and flaps on command, the after takeoff checklist and the climb events, with every pose
// acknowledged by the module.
#include "flow_fixture.h"

#include "speech/speech_output.h"

#include <algorithm>

namespace {
struct FlightTest : FlowTest {
    double Now() const { return Scenario().time; }
    static bool Quiet() {
        const ExecuterState& ex = ExecuterData();
        return ex.executeFlow.empty() && ex.stepReady && !ex.waitSpeechEnd && !IsSpeaking() &&
               !(ex.pauseUntil > Frame().frameTime);
    }
    // The captain waits until the first officer has finished, then speaks.
    void Say(const std::string& phrase) {
        double limit = Now() + 60;
        while (!Quiet() && Now() < limit) RunScenarioPass();
        ASSERT_TRUE(Quiet()) << "the first officer is still busy before \"" << phrase << "\"";
        ScheduleHeard(Now() + 0.02, phrase);
        RunScenarioPass();
        ASSERT_EQ(TimelineOf(TimelineKind::Heard).back().text, phrase);
    }
    // The same, but only once the phrase is an answer the first officer expects.
    void Answer(const std::string& phrase) {
        double limit = Now() + 60;
        auto expected = [&] {
            const MonitorState& m = MonitorData();
            return Recognition().anyAnswerExpected ||
                   std::find(m.expectedAnswers.begin(), m.expectedAnswers.end(), phrase) !=
                       m.expectedAnswers.end();
        };
        while (!(Quiet() && expected()) && Now() < limit) RunScenarioPass();
        ASSERT_TRUE(expected()) << "\"" << phrase << "\" is not expected";
        Say(phrase);
    }
    void Fly(double seconds) { RunScenarioUntil(Now() + seconds); }
    // The simulator variable moves linearly over the given time, from the next pass on.
    void Ramp(const std::string& spec, double from, double to, double seconds) {
        const int steps = std::max(1, static_cast<int>(seconds / 0.2));
        for (int i = 0; i <= steps; ++i)
            ScheduleSimValue(Now() + 0.02 + seconds * i / steps, spec, from + (to - from) * i / steps);
    }
    // The lines were said in this order (others may come between them).
    static void ExpectSpokenInOrder(const std::vector<std::string>& expectedInOrder) {
        std::vector<std::string> spoken = SpokenLines();
        auto at = spoken.begin();
        for (const std::string& line : expectedInOrder) {
            auto found = std::find(at, spoken.end(), line);
            EXPECT_NE(found, spoken.end()) << "not said, or not in order: " << line << "\n" << TimelineText();
            if (found != spoken.end()) at = found + 1;
        }
    }
    static bool Spoke(const std::string& line) {
        std::vector<std::string> spoken = SpokenLines();
        return std::find(spoken.begin(), spoken.end(), line) != spoken.end();
    }
    static std::vector<double> Written(const std::string& spec) {
        std::vector<double> out;
        for (const TimelineEntry& e : TimelineOf(TimelineKind::DrfWritten))
            if (e.text == spec) out.push_back(e.value);
        return out;
    }
};

TEST_F(FlightTest, DemoBoeingFliesFromGateToClimb) {
    ScenarioSettings settings;
    settings.poseSeconds = 0.8;
    ASSERT_TRUE(LoadScenarioProfile(std::string(TALVERO_SOURCE_DIR) + "/data/PM738"));
    ASSERT_TRUE(Systems().problems.empty()) << Systems().problems.front();
    StartScenario(settings);
    Settings().captainName = "Mark";
    Settings().officerName = "Linda";
    ScheduleRunways(0.5, "27L", "09R");
    ScheduleSimValue(0.5, "A:FUEL TOTAL QUANTITY", 5000);
    Fly(1);

    // At the gate.
    Say("hello");
    Say("runway check");
    Say("before start checklist");
    for (const char* answer : {"closed and locked", "plenty", "set", "windows locked", "set", "set",
                               "completed", "free and zero", "completed", "on"})
        Answer(answer);
    Fly(8);
    EXPECT_EQ(Param("AIRCRAFT.LIGHTS.BEACON").value, 0) << "the module does not move switches by itself";
    EXPECT_TRUE(Spoke("Anti collision light was off, it is on now. Before start checklist complete"));
    EXPECT_TRUE(Spoke("15100 kilograms on board. Passenger signs"));

    // Pushback and engine start.
    ScheduleKeyEvent(Now() + 0.1, "K:TOGGLE_PUSHBACK");
    Fly(1);
    Say("start engine two");
    Fly(6);
    Ramp("A:TURB ENG N2:2", 0, 62, 20);
    Fly(22);
    Say("start engine one");
    Fly(6);
    Ramp("A:TURB ENG N2:1", 0, 62, 20);
    Fly(25);
    ASSERT_TRUE(Quiet());
    ScheduleSimValue(Now() + 0.1, "A:BRAKE PARKING POSITION", 0);

    // Taxi: flaps five, the before takeoff checklist.
    Say("flaps five");
    Fly(3);
    ScheduleSimValue(Now() + 0.1, "A:FLAPS HANDLE INDEX", 3);
    Say("before takeoff checklist");
    for (const char* answer : {"set", "set", "confirmed"}) Answer(answer);
    Fly(6);

    // Takeoff roll and rotation.
    ScheduleSimValue(Now() + 0.1, "A:TURB ENG N1:1", 92);
    ScheduleSimValue(Now() + 0.1, "A:TURB ENG N1:2", 92);
    Ramp("A:AIRSPEED INDICATED", 0, 150, 30);
    Fly(31);
    ScheduleSimValue(Now() + 0.1, "A:SIM ON GROUND", 0);
    ScheduleSimValue(Now() + 0.1, "A:VERTICAL SPEED", 2000);
    Ramp("A:RADIO HEIGHT", 0, 400, 10);
    Ramp("A:INDICATED ALTITUDE", 0, 400, 10);
    Fly(4);
    EXPECT_NE(
        std::find(MonitorData().expectedAnswers.begin(), MonitorData().expectedAnswers.end(), "gear up"),
        MonitorData().expectedAnswers.end());
    Answer("gear up");
    Fly(4);
    ScheduleSimValue(Now() + 0.1, "A:GEAR HANDLE POSITION", 0);
    Ramp("A:AIRSPEED INDICATED", 150, 230, 20);
    Fly(21);
    Say("flaps up");
    Fly(3);
    ScheduleSimValue(Now() + 0.1, "A:FLAPS HANDLE INDEX", 0);
    Say("after takeoff checklist");
    for (const char* answer : {"on", "auto", "up and off", "up no lights"}) Answer(answer);
    Fly(5);
    // Values on request: the heading, the altitude, the standby frequency; a heading that is none.
    Say("set heading four seven zero");
    Fly(2);
    Say("set heading two seven zero");
    Fly(4);
    Say("set altitude flight level two four zero");
    Fly(4);
    Say("com one standby one one eight decimal zero two five");
    Fly(4);

    // Climb through ten thousand feet.
    Ramp("A:INDICATED ALTITUDE", 400, 12000, 30);
    Fly(45);
    EXPECT_TRUE(RunScenarioUntilIdle(Now() + 30));

    const std::vector<std::string> expectedInOrder = {
        "Good evening Mark. Linda here, ready when you are",
        "Departure runway 27 LEFT, arrival runway 09 RIGHT",
        "Before start checklist. Flight deck door",
        "Anti collision light was off, it is on now. Before start checklist complete",
        "Pushback requested. Clear left",
        "and clear right",
        "Starting engine two",
        "Start valve open",
        "N2 twenty five percent, fuel lever two idle",
        "Starter cutout",
        "Engine two stable",
        "Starting engine one",
        "Engine one stable",
        "Flaps five",
        "Flaps 5, green light. Stabilizer trim",
        "Runway 27 LEFT. Before takeoff checklist complete",
        "Eighty knots",
        "V one",
        "Rotate",
        "Positive rate",
        "Gear up",
        "Flaps up",
        "After takeoff checklist complete",
        "Unable, heading 4 7 0",
        "Heading 2 7 0 set",
        "Altitude flight level 2 4 0 set",
        "Com one standby 1 1 8 decimal 0 2 5",
        "Ten thousand, landing lights off",
    };
    ExpectSpokenInOrder(expectedInOrder);
    for (const std::string& line : SpokenLines()) EXPECT_EQ(line.find("UNKNOWN"), std::string::npos) << line;
    EXPECT_FALSE(Spoke("The gear is already up"));
    EXPECT_FALSE(Spoke("Check speed, below flaps up speed 210"));

    // Commands reached the simulator; every pose was played and acknowledged.
    EXPECT_EQ(Written("L:TVO_FLAPS_TARGET"), (std::vector<double>{5, 0}));
    EXPECT_EQ(Written("L:TVO_MCP_HEADING"), (std::vector<double>{270}));
    EXPECT_EQ(Written("L:TVO_MCP_ALTITUDE"), (std::vector<double>{24000}));
    EXPECT_EQ(Written("L:TVO_COM1_STANDBY_HZ"), (std::vector<double>{118025000}));
    std::vector<std::string> code;
    for (const TimelineEntry& e : SentOfType(kMsgCode)) code.push_back(e.text);
    const size_t poses = SentOfType(kMsgPose).size();
    for (const char* sent : {"(>K:TOGGLE_BEACON_LIGHTS)", "11801 (>K:ROTOR_BRAKE)", "11701 (>K:ROTOR_BRAKE)",
                             "(>K:GEAR_UP)", "(>K:LANDING_LIGHTS_OFF)", "270 (>K:HEADING_BUG_SET)",
                             "24000 (>K:AP_ALT_VAR_SET_ENGLISH)", "118025000 (>K:COM_STBY_RADIO_SET_HZ)"})
        EXPECT_NE(std::find(code.begin(), code.end(), sent), code.end()) << sent;
    EXPECT_GE(poses, 15u);
    EXPECT_EQ(TimelineOf(TimelineKind::PoseAcknowledged).size(), poses);
    EXPECT_TRUE(ModuleProtocol().outgoing.empty());
    EXPECT_EQ(TimelineOf(TimelineKind::MessageSent).back().type, kMsgLiveAnimation);

    // Every checklist and procedure is back at its start.
    for (const char* device : {"CHECKLIST.BEFORE START.TRIGGER", "CHECKLIST.BEFORE TAKEOFF.TRIGGER",
                               "CHECKLIST.AFTER TAKEOFF.TRIGGER", "PROCEDURES.ENGINE START TWO.TRIGGER",
                               "PROCEDURES.ENGINE START ONE.STABLE"})
        EXPECT_EQ(Param(device).value, 0) << device;
    EXPECT_TRUE(LogHas("---> CHECKLIST: CHECKLIST.BEFORE START.TRIGGER B 0"));
    EXPECT_TRUE(LogHas("---> EVENT: EVENTS.TAKEOFF.POSITIVE_RATE B 0"));
    EXPECT_TRUE(LogHas("---> COMMAND: COMMANDS.GEAR.LEVER B 1"));
    EXPECT_EQ(MonitorData().expectedAnswers, (std::vector<std::string>{"any"}));
}

TEST_F(FlightTest, DemoAirbusTakesOffWithMcduSpeeds) {
    ScenarioSettings settings;
    settings.poseSeconds = 0.6;
    ASSERT_TRUE(LoadScenarioProfile(std::string(TALVERO_SOURCE_DIR) + "/data/FN320"));
    ASSERT_TRUE(Systems().problems.empty()) << Systems().problems.front();
    StartScenario(settings);
    ScheduleRunways(0.2, "09C", "27R");
    for (const auto& [spec, speed] : {std::pair<const char*, double>{"L:AIRLINER_V1_SPEED", 141},
                                      {"L:AIRLINER_VR_SPEED", 145},
                                      {"L:AIRLINER_V2_SPEED", 150}})
        ScheduleSimValue(0.2, spec, speed);
    ScheduleSimValue(0.2, "A:FLAPS HANDLE INDEX", 2);
    Fly(1);
    Say("takeoff speeds");
    Say("before takeoff checklist");
    for (const char* answer : {"checked", "checked", "confirmed", "set", "confirmed"}) Answer(answer);
    Fly(6);
    ScheduleSimValue(Now() + 0.1, "A:TURB ENG N1:1", 88);
    Ramp("A:AIRSPEED INDICATED", 0, 160, 32);
    Fly(33);
    ScheduleSimValue(Now() + 0.1, "A:SIM ON GROUND", 0);
    ScheduleSimValue(Now() + 0.1, "A:VERTICAL SPEED", 1800);
    Ramp("A:RADIO HEIGHT", 0, 300, 8);
    Fly(3);
    Answer("gear up");
    Fly(3);
    ScheduleSimValue(Now() + 0.1, "A:GEAR HANDLE POSITION", 0);
    ScheduleSimValue(Now() + 0.1, "A:FLAPS HANDLE INDEX", 0);
    Say("after takeoff checklist");
    for (const char* answer : {"landing gear up", "retracted", "on"}) Answer(answer);
    EXPECT_TRUE(RunScenarioUntilIdle(Now() + 30));

    const std::vector<std::string> expectedInOrder = {
        "V one 141, rotate 145, V two 150",
        "Config 2. Takeoff runway",
        "Runway 09 CENTER. Before takeoff checklist complete",
        "One hundred knots",
        "V one",
        "Rotate",
        "Positive climb",
        "Gear up",
        "After takeoff checklist complete",
    };
    ExpectSpokenInOrder(expectedInOrder);
    EXPECT_EQ(TimelineOf(TimelineKind::PoseAcknowledged).size(), 2u);
    EXPECT_EQ(Param("CHECKLIST.AFTER TAKEOFF.TRIGGER").value, 0);
}
} // namespace
