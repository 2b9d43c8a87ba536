// Speech output's voices: which voices are usable and what the module's voice list file holds, the voice
// choice, rate and volume as the engine receives them, and when the captain's phrases are read aloud.
#include "app/frame.h"
#include "base/helpers.h"
#include "base/log.h"
#include "base/settings.h"
#include "flow/executer.h"
#include "simlink/module_protocol.h"
#include "speech/simulated_voice.h"
#include "speech/speech_output.h"
#include "speech/voices.h"
#include "tests/fakes/test_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <limits>
#include <memory>
#include <string>
#include <vector>

namespace {
const std::string kDavid = "Simulated David - English (United States)";
const std::string kZira = "Simulated Zira - English (United States)";

struct VoicesTest : ::testing::Test {
    std::unique_ptr<InstallationFolder> install = std::make_unique<InstallationFolder>();
    const TempFolder& folder = install->folder;
    void SetUp() override {
        ResetLog();
        ResetFrame();
        ResetSettings();
        ResetExecuter();
        ResetModuleProtocol();
        ResetSpeechOutput();
        UseSimulatedVoice();
    }
    void TearDown() override {
        install.reset();
        ResetSpeechOutput();
        UseSimulatedVoice();
        ResetModuleProtocol();
        ResetLog();
    }
    // Start-up of speech output, with the start-up message taken off the queue.
    static void Start() {
        InitTextToSpeech();
        ResetModuleProtocol();
    }
    std::string VoiceListBytes() const { return ReadBytes(folder.path + "/data/voicelist.txt"); }
};

TEST_F(VoicesTest, StartUpKeepsTheEnglishVoicesPicksDavidAndZiraAndTellsTheModule) {
    InitTextToSpeech();
    const SpeechOutputState& speech = SpeechOutput();
    EXPECT_EQ(speech.SpeakersList, (std::vector<std::string>{kDavid, kZira}));
    EXPECT_EQ(speech.capVoiceIndex, 0);
    EXPECT_EQ(speech.currentVoiceIndex, 1);
    EXPECT_EQ(VoiceListBytes(), "David\nZira\n"); // line feeds only, on every platform
    EXPECT_EQ(SimulatedVoice().selectedVoice, 2); // Zira's place among all installed voices
    EXPECT_EQ(Log().log.text, "Available Speakers List:\n" + kDavid + "\n" + kZira + "\nVoice was set to " +
                                  kZira + "\nInit Recognition & TTS Done\n");
    ASSERT_EQ(ModuleProtocol().outgoing.size(), 1u);
    const ModuleMessage& message = ModuleProtocol().outgoing[0];
    EXPECT_EQ(message.type, kMsgVoiceIndex);
    EXPECT_EQ(message.valueOut, 1.0);
    EXPECT_EQ(MessageText(message), "");
}

TEST(VoiceEnumeration, FiltersPositionsAndShortNamesFollowTheDescriptions) {
    struct Case {
        std::vector<std::string> installed;
        std::vector<std::string> speakers;
        int capVoice, currentVoice;
        std::string file;
    };
    const Case cases[] = {
        // No English voice: an empty list and an empty file; both positions stay where they were.
        {{"Microsoft Hedda Desktop - German (Germany)"}, {}, 0, 0, ""},
        // The English test is case-sensitive; a description without a space is its own short name.
        {{"Voice english", "EnglishVoice"}, {"EnglishVoice"}, 0, 0, "EnglishVoice\n"},
        // Later matches win; one description can name both voices.
        {{"A Zira English", "B David English", "C Zira English", "D David-Zira English"},
         {"A Zira English", "B David English", "C Zira English", "D David-Zira English"},
         3,
         3,
         "Zira\nDavid\nZira\nDavid-Zira\n"},
        // Positions count usable voices only.
        {{"X Hedda German", "Y Zira English", "Z Anna German", "W David English"},
         {"Y Zira English", "W David English"},
         1,
         0,
         "Zira\nDavid\n"},
        // A line break inside a description cannot add a line to the module's file.
        {{"A Zi\nra English"}, {"A Zi\nra English"}, 0, 0, "Zira\n"},
    };
    TempFolder folder;
    folder.Make("data/x");
    WorkingFolder working(folder.path);
    for (const Case& c : cases) {
        ResetSpeechOutput();
        UseSimulatedVoice();
        SimulatedVoice().descriptions = c.installed;
        EXPECT_EQ(GetSpeakersList(), c.speakers) << c.file;
        EXPECT_EQ(SpeechOutput().capVoiceIndex, c.capVoice) << c.file;
        EXPECT_EQ(SpeechOutput().currentVoiceIndex, c.currentVoice) << c.file;
        EXPECT_EQ(ReadBytes(folder.path + "/data/voicelist.txt"), c.file);
    }
    // A disk that fills up half way through leaves the previous list whole, never half of the new one.
    SimulatedVoice().descriptions = {"A David English", "B Zira English", "C George English"};
    SetWriteFaultHook([](const std::string&, size_t bytes) { return bytes / 2; });
    GetSpeakersList();
    SetWriteFaultHook(nullptr);
    EXPECT_EQ(ReadBytes(folder.path + "/data/voicelist.txt"), "Zira\n");
    EXPECT_FALSE(std::filesystem::exists(folder.path + "/data/voicelist.txt.new"));
    ResetSpeechOutput();
    UseSimulatedVoice();
}

TEST_F(VoicesTest, SelectVoiceTakesTheLastDescriptionThatBeginsWithTheName) {
    SimulatedVoice().descriptions = {"Microsoft David Desktop - English (United States)",
                                     "Microsoft Zira Desktop - English (United States)",
                                     "Microsoft Zira Mobile - English (United States)", "Microsoft"};
    const std::pair<std::string, int> cases[] = {
        {"Microsoft Zira", 2}, // two begin with it: the last
        {"Zira", 0},           // the name must stand at the start: nothing changes
        {"microsoft zira", 0}, // case matters
        {"Microsoft Zira Desktop - English (United States) and more", 0}, // longer than every description
        {"Microsoft", 3},                                                 //
    };
    for (const auto& [name, selected] : cases) {
        SimulatedVoice().selectedVoice = 0;
        SelectVoice(name);
        EXPECT_EQ(SimulatedVoice().selectedVoice, selected) << name;
    }
    EXPECT_EQ(Log().log.text, ""); // selecting is silent
}

TEST_F(VoicesTest, ChangeVoiceSelectsAnnouncesAndRefusesPositionsOutsideTheList) {
    Start();
    ChangeVoice(-1, true);
    EXPECT_EQ(SimulatedVoice().lastLine, "Speech voice was not changed.");
    EXPECT_EQ(SimulatedVoice().lastLineVoice, 2); // said in the current voice, Zira
    EXPECT_EQ(SpeechOutput().currentVoiceIndex, 1);
    ChangeVoice(2, true);
    EXPECT_EQ(SimulatedVoice().lastLine, "Speech voice was not changed.");
    EXPECT_EQ(SpeechOutput().currentVoiceIndex, 1);

    ChangeVoice(0, true);
    EXPECT_EQ(SimulatedVoice().lastLine, "Speech voice was changed to " + kDavid);
    EXPECT_EQ(SimulatedVoice().lastLineVoice, 0); // the announcement already in the new voice
    EXPECT_EQ(SpeechOutput().currentVoiceIndex, 0);
    EXPECT_EQ(SpeechOutput().lastSpeechKind, 1);
    EXPECT_NE(Log().log.text.find("---> SPEECH: Speech voice was changed to " + kDavid + "\n"),
              std::string::npos);

    long long lines = SimulatedVoice().linesQueued;
    ChangeVoice(1, false);
    ChangeVoice(5, false);
    EXPECT_EQ(SimulatedVoice().linesQueued, lines);
    EXPECT_EQ(SimulatedVoice().selectedVoice, 2);
    EXPECT_EQ(SpeechOutput().currentVoiceIndex, 1);
}

TEST_F(VoicesTest, RateAndVolumeReachTheEngineTruncatedTowardZero) {
    struct RateCase {
        float setting;
        float engineRate;
        int engine;
        std::string announced;
    };
    const RateCase rates[] = {
        {50, 0.0f, 0, "Speech rate set to 50"},        {75, 5.5f, 5, "Speech rate set to 75"},
        {25, -5.5f, -5, "Speech rate set to 25"},      {96, 10.12f, 10, "Speech rate set to 96"},
        {12.7f, -8.206f, -8, "Speech rate set to 12"},
    };
    for (const RateCase& r : rates) {
        SetSpeechRate(r.setting, true);
        EXPECT_NEAR(SpeechOutput().engineRate, r.engineRate, 1e-3) << r.setting;
        EXPECT_EQ(SimulatedVoice().rate, r.engine) << r.setting;
        EXPECT_EQ(SimulatedVoice().lastLine, r.announced);
    }
    // Whole volumes, 0 and 100 among them, reach the engine from the module's messages (dispatch tests).
    SetSpeechVolume(80.9f, true);
    EXPECT_EQ(SimulatedVoice().volume, 80);
    EXPECT_EQ(SimulatedVoice().lastLine, "Speech volume set to 80");
    long long lines = SimulatedVoice().linesQueued;
    SetSpeechRate(75, false);
    SetSpeechVolume(30, false);
    EXPECT_EQ(SimulatedVoice().linesQueued, lines);
    EXPECT_EQ(SimulatedVoice().rate, 5);
    EXPECT_EQ(SimulatedVoice().volume, 30);
}

TEST(VoiceSettings, ValuesThatAreNoNumberOrOutOfRangeTruncateWithoutFault) {
    EXPECT_EQ(TruncatedSetting(std::numeric_limits<float>::quiet_NaN()), 0);
    EXPECT_EQ(TruncatedSetting(1e20f), std::numeric_limits<int>::max());
    EXPECT_EQ(TruncatedSetting(-1e20f), std::numeric_limits<int>::min());
    EXPECT_EQ(TruncatedSetting(std::numeric_limits<float>::infinity()), std::numeric_limits<int>::max());
    EXPECT_EQ(TruncatedSetting(-5.9f), -5);
    EXPECT_EQ(TruncatedSetting(2147483520.0f), 2147483520); // the largest float below 2^31
}

TEST_F(VoicesTest, CaptainPhrasesAreReadInTheCaptainsVoiceOnlyWhenTheyShouldBe) {
    struct Case {
        std::string text;
        int capSpeech;
        bool force;
        bool spoken;
    };
    const Case cases[] = {
        {"gear up", 1, false, true},   {"gear up", 0, false, false}, // captain speech off
        {"gear up", 0, true, true}, // forced: heard even when just switched off
        {"Say again", 1, true, false}, {"say again", 1, false, false},
        {"Sayonara", 1, false, false}, // the first three characters decide
        {"SAY again", 1, false, true}, {"any", 1, true, false},
        {"anything", 1, false, true},  {"Sa", 1, false, true},
    };
    Start();
    for (const Case& c : cases) {
        Settings().capSpeech = c.capSpeech;
        ExecuterData().waitSpeechEnd = false;
        SpeechOutput().lastSpeechKind = 1;
        SimulatedVoice().lastLine.clear();
        long long lines = SimulatedVoice().linesQueued;
        SayCaptainsLine(c.text, c.force);
        if (c.spoken) {
            EXPECT_EQ(SimulatedVoice().linesQueued, lines + 1) << c.text;
            EXPECT_EQ(SimulatedVoice().lastLine, c.text);
            EXPECT_TRUE(SimulatedVoice().lastLineCaptain) << c.text;
            EXPECT_EQ(SimulatedVoice().lastLineVoice, 0) << c.text; // David
            EXPECT_EQ(SpeechOutput().lastSpeechKind, 2) << c.text;
            EXPECT_TRUE(ExecuterData().waitSpeechEnd) << c.text;
        } else {
            EXPECT_EQ(SimulatedVoice().linesQueued, lines) << c.text;
            EXPECT_EQ(SpeechOutput().lastSpeechKind, 1) << c.text;
            EXPECT_FALSE(ExecuterData().waitSpeechEnd) << c.text;
        }
        EXPECT_EQ(SimulatedVoice().selectedVoice, 2) << c.text; // Zira again for the first officer
    }
    // Nothing of the captain's lines goes to the log.
    EXPECT_EQ(Log().log.text.find("SPEECH"), std::string::npos);
}

// An engine that only speaks, and so lists no voice (as one with no English voice does): start-up selects
// nothing and tells the module position 0, captain's lines fall back on its one speak operation, and every
// voice operation is a no-op.
std::vector<std::string> spokenBySpeakOnly;
void SpeakOnly(const std::string& text) {
    spokenBySpeakOnly.push_back(text);
}

TEST_F(VoicesTest, AnEngineWithoutVoiceOperationsStillSpeaksAndLogs) {
    spokenBySpeakOnly.clear();
    SpeechEngine engine;
    engine.speak = SpeakOnly;
    SpeechOutput().engine = engine;
    InitTextToSpeech();
    EXPECT_TRUE(SpeechOutput().SpeakersList.empty());
    EXPECT_EQ(VoiceListBytes(), "");
    EXPECT_EQ(Log().log.text, "Available Speakers List:\nInit Recognition & TTS Done\n");
    ASSERT_EQ(ModuleProtocol().outgoing.size(), 1u);
    EXPECT_EQ(ModuleProtocol().outgoing[0].valueOut, 0.0);
    SetSpeechRate(75, true);
    SetSpeechVolume(60, true);
    EXPECT_EQ(SpeechOutput().engineRate, 5.5f);
    EXPECT_EQ(SpeechOutput().volume, 60.0f);
    SayCaptainsLine("gear up", false);
    EXPECT_TRUE(ExecuterData().waitSpeechEnd);
    EXPECT_EQ(spokenBySpeakOnly,
              (std::vector<std::string>{"Speech rate set to 75", "Speech volume set to 60", "gear up"}));

    SpeechOutput().engine = SpeechEngine{};
    ChangeVoice(0, true);
    EXPECT_EQ(SpeechOutput().currentVoiceIndex, 0);
    SayCaptainsLine("gear down", true);
    EXPECT_EQ(SpeechOutput().lastSpeechKind, 2);
    EXPECT_FALSE(IsSpeaking());
    EXPECT_NE(Log().log.text.find("---> SPEECH: Speech voice was not changed.\n"), std::string::npos);
}
} // namespace
