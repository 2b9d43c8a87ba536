// The executer: one step per pass, the waits for speech, pauses and poses, the idle-animation message,
// breaks, code lines, alternatives and the steps whose seconds cannot be read.
#include "flow_fixture.h"

#include "speech/simulated_voice.h"

#include <algorithm>
#include <cmath>
#include <set>

namespace {
using ExecuterTest = FlowTest;

TEST_F(ExecuterTest, SayStepsRunOnConsecutivePassesWithoutWaitingForTheVoice) {
    Queue(dotypeSay, "Flaps five");
    Queue(dotypeSay, "Speed checked");
    Queue(dotypeSay, ""); // speaks nothing, the flow goes on
    Queue(dotypeSay, "#");
    Queue(dotypeSay, "Gear up");
    for (int pass = 0; pass < 8; ++pass) RunScenarioPass();
    EXPECT_EQ(SpokenLines(), (std::vector<std::string>{"Flaps five", "Speed checked", "Gear up"}));
    EXPECT_EQ(SpokenPasses(), (std::vector<long>{0, 1, 4}));
    EXPECT_EQ(ExecuterData().recentPhrases,
              (std::deque<std::string>{"Gear up", "Speed checked", "Flaps five"}));
    EXPECT_TRUE(LogHas("---> SPEECH: Flaps five"));
    std::vector<std::string> sent = Sent();
    ASSERT_GE(sent.size(), 3u);
    EXPECT_EQ(sent[0], "9:ExecuteSay msgtype_SPEECHSTART");
}

TEST_F(ExecuterTest, SayAndWaitHoldsTheNextStepUntilTheVoiceIsSilent) {
    const std::string first = "Before start checklist complete";
    Queue(dotypeSayWait, first);
    Queue(dotypeSay, "Ready");
    ASSERT_TRUE(RunScenarioUntilIdle(30));
    std::vector<long> passes = SpokenPasses();
    ASSERT_EQ(passes.size(), 2u);
    EXPECT_EQ(passes[0], 0);
    const double end = SimulatedSpeechSeconds(first);
    EXPECT_GE(static_cast<double>(passes[1]) * 0.02, end - 1e-9) << "not before the voice fell silent";
    EXPECT_LT(static_cast<double>(passes[1] - 1) * 0.02, end) << "on the first silent pass";
    EXPECT_EQ(Sent()[0], "9:ExecuteWaitSay msgtype_SPEECHSTART");
}

TEST_F(ExecuterTest, PauseHoldsTheQueueAndKeepsLiveAnimationBlockedUntilItEnds) {
    Queue(dotypePause, "2.000000");
    std::vector<bool> blocked;
    std::vector<long> liveAgainPasses;
    for (int pass = 0; pass <= 103; ++pass) {
        uint32_t counter = ModuleProtocol().messageCounter;
        RunScenarioPass();
        blocked.push_back(ExecuterData().isLiveAnimationBlocked);
        const std::vector<ModuleMessage>& queue = ModuleProtocol().outgoing;
        for (const ModuleMessage& m : queue)
            if (m.type == kMsgLiveAnimation && m.sequence == counter + 1) liveAgainPasses.push_back(pass);
        if (pass == 50) Queue(dotypeSay, "Half way"); // queued during the pause: waits for it
    }
    for (int pass = 0; pass < 100; ++pass) EXPECT_TRUE(blocked[pass]) << pass;
    EXPECT_EQ(liveAgainPasses, (std::vector<long>{101}))
        << "the first pass after the pause with nothing queued";
    EXPECT_EQ(SpokenPasses(), (std::vector<long>{100}));
    std::vector<std::string> sent = Sent();
    EXPECT_EQ(std::count(sent.begin(), sent.end(), "21:"), 1) << "no message when the flag goes up";
}

TEST_F(ExecuterTest, BreakEmptiesTheQueueItselfIncluded) {
    Queue(dotypeBreak, "");
    Queue(dotypeSay, "never");
    Queue(dotypePause, "5.000000");
    ExecuterData().stepReady = true;
    RunScenarioPass();
    EXPECT_TRUE(ExecuterData().executeFlow.empty());
    Queue(dotypeSay, "later");
    RunScenarioPass();
    EXPECT_EQ(SpokenLines(), (std::vector<std::string>{"later"}));
}

TEST_F(ExecuterTest, PoseBlocksUntilTheModuleReportsItAndUnknownPosesAreSkipped) {
    PoseCatalogue().poses = {"rest_idle", "work_flaps"};
    ScenarioSettings settings;
    settings.poseSeconds = 0.5;
    StartScenario(settings);
    Queue(dotypePos, "work_flaps", 1.5);
    Queue(dotypeSay, "Flaps set");
    Queue(dotypePos, "work_missing", 1);
    Queue(dotypePosFast, "rest_idle", 0);
    Queue(dotypeSay, "Done");
    ASSERT_TRUE(RunScenarioUntilIdle(20));

    std::vector<TimelineEntry> poses = SentOfType(kMsgPose);
    ASSERT_EQ(poses.size(), 2u) << "the unknown pose sends nothing";
    EXPECT_EQ(poses[0].text, "work_flaps");
    EXPECT_EQ(poses[0].value, 1.5);
    EXPECT_EQ(poses[1].text, "rest_idle");
    std::vector<TimelineEntry> acks = TimelineOf(TimelineKind::PoseAcknowledged);
    ASSERT_EQ(acks.size(), 2u);
    EXPECT_EQ(acks[0].sequence, poses[0].sequence);
    std::vector<long> spoken = SpokenPasses();
    ASSERT_EQ(spoken.size(), 2u);
    EXPECT_EQ(spoken[0], acks[0].pass) << "the step after a pose starts in the pass of its report";
    EXPECT_EQ(spoken[1], acks[1].pass);
    EXPECT_GE(acks[0].time - poses[0].time, 0.5 - 1e-9);
}

TEST_F(ExecuterTest, PoseWithoutReportKeepsTheQueueBlocked) {
    PoseCatalogue().poses = {"work_flaps"};
    ScenarioSettings settings;
    settings.poseSeconds = -1;
    StartScenario(settings);
    Queue(dotypePos, "work_flaps", 0);
    Queue(dotypeSay, "never");
    EXPECT_FALSE(RunScenarioUntilIdle(10));
    EXPECT_TRUE(SpokenLines().empty());
    EXPECT_FALSE(ExecuterData().stepReady);
}

TEST_F(ExecuterTest, WaitSayChoosesOneNonEmptyAlternative) {
    std::set<std::string> seen;
    for (int i = 0; i < 40; ++i) {
        ExecuteWaitSay("Checked#Set#Confirmed");
        ASSERT_TRUE(ExecuterData().waitSpeechEnd);
        seen.insert(ExecuterData().recentPhrases.front());
    }
    for (const std::string& s : seen) EXPECT_TRUE(s == "Checked" || s == "Set" || s == "Confirmed") << s;
    EXPECT_GE(seen.size(), 2u);

    struct Case {
        std::string text;
        std::set<std::string> allowed; // empty: nothing is spoken
    } cases[] = {
        {"##", {}},
        {"a##", {"a"}},
        {"##b#", {"b"}},
        {"Whole line", {"Whole line"}},
    };
    for (const Case& c : cases) {
        ResetExecuter();
        size_t before = SpokenLines().size();
        size_t queued = ModuleProtocol().outgoing.size();
        ExecuteWaitSay(c.text);
        if (c.allowed.empty()) {
            EXPECT_EQ(SpokenLines().size(), before) << c.text;
            EXPECT_TRUE(ExecuterData().recentPhrases.empty()) << c.text;
            EXPECT_FALSE(ExecuterData().waitSpeechEnd) << c.text;
            EXPECT_EQ(ModuleProtocol().outgoing.size(), queued) << c.text;
        } else {
            ASSERT_EQ(ExecuterData().recentPhrases.size(), 1u) << c.text;
            EXPECT_TRUE(c.allowed.count(ExecuterData().recentPhrases.front())) << c.text;
        }
    }
    ExecuteSay("Left#Right");
    EXPECT_EQ(SpokenLines().back(), "Left#Right") << "a plain say line keeps its separators";
}

TEST_F(ExecuterTest, StepsWithUnreadableSecondsAreSkippedWithALogLine) {
    struct Case {
        int32_t type;
        std::string text;
        bool readable;
    } cases[] = {
        {dotypePause, "abc", false},    {dotypePause, "", false},
        {dotypePause, "inf", false},    {dotypePause, "  0.5 seconds", true},
        {dotypeAnswer, "1e400", false}, {dotypeAnswer, "-inf", false},
        {dotypeAnswer, "3", true},
    };
    for (const Case& c : cases) {
        StartScenario();
        Queue(c.type, c.text);
        Queue(dotypeSay, "next");
        EXPECT_NO_THROW(RunScenarioUntilIdle(5)) << c.text;
        EXPECT_EQ(SpokenLines(), (std::vector<std::string>{"next"})) << c.text;
        std::string skipped = (c.type == dotypePause ? "Pause step skipped, not a number of seconds: "
                                                     : "Answer step skipped, not a number of seconds: ") +
                              c.text;
        EXPECT_EQ(LogHas(skipped), !c.readable) << c.text;
        if (c.type == dotypePause && c.readable)
            EXPECT_EQ(SpokenPasses(), (std::vector<long>{25})) << "the half-second pause was kept";
        else
            EXPECT_EQ(SpokenPasses(), (std::vector<long>{1})) << c.text;
    }
}

TEST_F(ExecuterTest, CodeWithoutBracketsIsSentUnchanged) {
    Queue(dotypeCode, "]odd[ (>L:X)", 4);
    RunScenarioUntilIdle(2);
    std::vector<TimelineEntry> sent = SentOfType(kMsgCode);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].text, "]odd[ (>L:X)") << "no \"]\" after the \"[\": nothing to substitute";
    EXPECT_EQ(sent[0].value, 4);
}

TEST_F(ExecuterTest, ValueTextTruncatesTowardZero) {
    struct Case {
        double value;
        const char* text;
    } cases[] = {{-0.5, "0"}, {-3.7, "-3"}, {5e9, "5000000000"}, {std::nan(""), "0"}, {-1.0 / 0.0, "0"}};
    for (const Case& c : cases) EXPECT_EQ(TruncatedValueText(c.value), c.text) << c.value;
}
} // namespace
