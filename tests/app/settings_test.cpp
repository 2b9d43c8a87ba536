// The settings file: what a start-up reads from it and applies to speech output, and the exact bytes a
// save writes, including values that try to break out of their line.
#include "app/apply_settings.h"
#include "base/helpers.h"
#include "base/log.h"
#include "base/settings.h"
#include "simlink/module_protocol.h"
#include "speech/simulated_voice.h"
#include "speech/speech_output.h"
#include "speech/voices.h"
#include "tests/fakes/test_support.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {
struct SettingsTest : ::testing::Test {
    std::unique_ptr<InstallationFolder> install = std::make_unique<InstallationFolder>();
    const TempFolder& folder = install->folder;
    void SetUp() override {
        ResetLog();
        ResetSettings();
        ResetSpeechOutput();
        UseSimulatedVoice();
        InitTextToSpeech(); // two usable voices: David at 0, Zira at 1 (the first officer's)
        ResetModuleProtocol();
        SimulatedVoice().rate = 99; // values no load would give, to see which ones a load applies
        SimulatedVoice().volume = 99;
    }
    void TearDown() override {
        install.reset();
        ResetSettings();
        ResetSpeechOutput();
        UseSimulatedVoice();
        ResetModuleProtocol();
        ResetLog();
    }
    void Load(const std::string& bytes) {
        folder.Write("data/settings.txt", bytes);
        LoadSettings();
    }
    std::string SavedBytes() const { return ReadBytes(folder.path + "/data/settings.txt"); }
};

// Every field, so that a test can say "all else as before" in one comparison.
std::vector<std::string> Fields(const SettingsState& s) {
    return {std::to_string(s.voiceIndex),
            std::to_string(s.volume),
            std::to_string(s.rate),
            s.captainName,
            s.officerName,
            s.joystickSelection,
            s.recognitionKey,
            s.recognitionButton,
            s.widgetButton,
            s.realMode,
            std::to_string(s.capSpeech)};
}

TEST_F(SettingsTest, AMissingFileKeepsTheDefaultsAndAVolumeLineSetsOnlyTheVolume) {
    LoadSettings();
    SettingsState expected;
    expected.voiceIndex = 1; // the voice speech output chose (Zira), not the captain's David at 0
    EXPECT_EQ(Fields(Settings()), Fields(expected));
    EXPECT_EQ(SimulatedVoice().volume, 99);
    EXPECT_EQ(SimulatedVoice().selectedVoice, 2);
    ASSERT_EQ(ModuleProtocol().outgoing.size(), 1u) << "the module is told even without a file";
    EXPECT_EQ(ModuleProtocol().outgoing[0].type, kMsgSettingsLoaded);
    // A save (the module renamed someone) keeps her voice for the next start.
    SaveSettings();
    EXPECT_TRUE(SavedBytes().starts_with("voice=1\r\n")) << SavedBytes();

    ResetSettings();
    ResetModuleProtocol();
    Load("volume=80");
    expected.volume = 80;
    EXPECT_EQ(Fields(Settings()), Fields(expected));
    EXPECT_EQ(SimulatedVoice().volume, 80);
    EXPECT_EQ(SimulatedVoice().rate, 99); // no rate line: the engine's rate is not touched
    EXPECT_EQ(SimulatedVoice().selectedVoice, 2);
    EXPECT_EQ(SimulatedVoice().linesQueued, 0); // applied without announcement
    ASSERT_EQ(ModuleProtocol().outgoing.size(), 1u);
    EXPECT_EQ(ModuleProtocol().outgoing[0].type, kMsgSettingsLoaded);
    EXPECT_EQ(MessageText(ModuleProtocol().outgoing[0]), "");
}

TEST_F(SettingsTest, IntegerValuesAreReadFromTheirStartOrKeepThePreviousValue) {
    struct Case {
        std::string line;
        int rate;       // the setting after the load; 33 is the value before it
        int engineRate; // what the engine holds afterwards; 99 when it was not touched
    };
    const Case cases[] = {
        // Beyond 0..100 (a module once sent 544729) the setting stops at the nearest end.
        {"rate=75", 75, 5},   {"rate=12.7", 12, -8}, {"rate=-20", 0, -11}, {"rate=544729", 100, 11},
        {"rate=5-3", 5, -9},  {"rate=7x", 33, 99},   {"rate=", 33, 99},    {"rate=-.-", 33, 99},
        {"rate=--5", 33, 99}, {"rate= 5", 33, 99},   {"rate=+5", 33, 99},
    };
    for (const Case& c : cases) {
        ResetSettings();
        Settings().rate = 33;
        SimulatedVoice().rate = 99;
        Load(c.line + "\r\n");
        EXPECT_EQ(Settings().rate, c.rate) << c.line;
        EXPECT_EQ(SimulatedVoice().rate, c.engineRate) << c.line;
    }
    const std::pair<std::string, int> capSpeech[] = {
        {"capspeech=0", 0}, {"capspeech=x", 1}, {"capspeech=2.9", 2}};
    for (const auto& [line, value] : capSpeech) {
        ResetSettings();
        Load(line);
        EXPECT_EQ(Settings().capSpeech, value) << line;
    }
}

TEST_F(SettingsTest, AVoiceIndexOutsideTheInstalledVoicesBecomesTheFirst) {
    SimulatedVoice().descriptions = {"A Anna English", "B Bob English", "C Cid English"};
    InitTextToSpeech();
    const std::pair<std::string, int> cases[] = {
        {"voice=7", 0}, {"voice=3", 0}, {"voice=-1", 0}, {"voice=2", 2}, {"voice=1.9", 1}};
    for (const auto& [line, index] : cases) {
        Settings().voiceIndex = 5;
        SpeechOutput().currentVoiceIndex = 2;
        SimulatedVoice().selectedVoice = 2;
        Load(line);
        EXPECT_EQ(Settings().voiceIndex, index) << line;
        EXPECT_EQ(SpeechOutput().currentVoiceIndex, index) << line;
        EXPECT_EQ(SimulatedVoice().selectedVoice, index) << line;
    }
    // With no usable voice the setting still becomes 0, and nothing is selected.
    SimulatedVoice().descriptions = {"Hedda German"};
    InitTextToSpeech();
    SimulatedVoice().selectedVoice = 0;
    SpeechOutput().currentVoiceIndex = 4;
    Load("voice=1");
    EXPECT_EQ(Settings().voiceIndex, 0);
    EXPECT_EQ(SpeechOutput().currentVoiceIndex, 4);
    EXPECT_EQ(SimulatedVoice().selectedVoice, 0);
}

TEST_F(SettingsTest, TextValuesAreTakenFromWhereTheKeyShouldStand) {
    Load("cap=\r\n"
         "tvo=Anna Maria \r\n"
         "xxcap=Bob\r\n" // the key after two characters: the value still holds its end
         "real=0\r\n"    // never read
         "comment line\r\n"
         "\r\n"
         "jsel=3\nkr=F\njr=\njc=7\n"
         "voice=1");
    EXPECT_EQ(Settings().captainName, "p=Bob");
    EXPECT_EQ(Settings().officerName, "Anna Maria ");
    EXPECT_EQ(Settings().joystickSelection, "3");
    EXPECT_EQ(Settings().recognitionKey, "F");
    EXPECT_EQ(Settings().recognitionButton, "");
    EXPECT_EQ(Settings().widgetButton, "7");
    EXPECT_EQ(Settings().realMode, "1");
    EXPECT_EQ(Settings().voiceIndex, 1);

    ResetSettings();
    Load("cap=");
    EXPECT_EQ(Settings().captainName, "");
}

TEST_F(SettingsTest, SavingWritesTheFixedOrderWithCrLfAndNoFinalLineBreak) {
    Load("capspeech=0\nkr=F\ntvo=Anna\nvolume=70\nreal=0\nvoice=0\njc=2\ncap=Mark\njsel=\nrate=60\njr=4\n");
    Settings().realMode = "0";
    SaveSettings();
    const std::string expected =
        "voice=0\r\nvolume=70\r\nrate=60\r\ncap=Mark\r\ntvo=Anna\r\njsel=\r\nkr=F\r\n"
        "jr=4\r\njc=2\r\nreal=0\r\ncapspeech=0";
    EXPECT_EQ(SavedBytes(), expected);
    EXPECT_FALSE(FileExists(folder.path + "/data/settings.txt.new"));

    // What was saved loads back to the same settings.
    SettingsState saved = Settings();
    ResetSettings();
    LoadSettings();
    saved.realMode = "1"; // the real-mode switch starts at its default on every start
    EXPECT_EQ(Fields(Settings()), Fields(saved));
}

TEST_F(SettingsTest, TheRecogniserChoiceIsKeptAndWrittenOnlyWhenItIsNotTheDefault) {
    const std::string eleven =
        "voice=0\r\nvolume=95\r\nrate=50\r\ncap=Cap\r\ntvo=Linda\r\njsel=\r\nkr=R\r\njr=0\r\n"
        "jc=1\r\nreal=1\r\ncapspeech=1";
    const struct {
        const char* file;
        const char* inFile; // what recognition reads before the settings are loaded
        const char* saved;  // the line saved after the eleven, if any
    } cases[] = {
        {"volume=95\n", "", ""},
        {"recogniser=automatic\n", "automatic", ""},
        {"recogniser=builtin\nvolume=95\n", "builtin", "\r\nrecogniser=builtin"},
        {"volume=95\nrecogniser=windows\n", "windows", "\r\nrecogniser=windows"},
        // A recogniser line does not take another key's line, nor the other way round.
        {"rate=50\ncap=Cap\n", "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        ResetSettings();
        folder.Write("data/settings.txt", std::string("voice=0\n") + c.file);
        EXPECT_EQ(RecogniserSettingInFile(), c.inFile);
        LoadSettings();
        SaveSettings();
        EXPECT_EQ(SavedBytes(), eleven + c.saved);
    }
}

TEST_F(SettingsTest, NoTextValueCanAddOrChangeAnotherKey) {
    SettingsState& s = Settings();
    s.officerName = "Eve\r\nvoice=1\nrate=100";
    s.captainName = "Mark\rcapspeech=0";
    s.recognitionKey = "R\njr=9";        // after its line break, read back as it stands
    s.recognitionButton = "cap=Mallory"; // would rename the captain when read back
    s.widgetButton = "=";                // harmless: kept as it is
    s.joystickSelection = "a=b";
    s.realMode = "1 tvo=Mallory"; // the real-mode line is never read; nor may it be read as another
    s.voiceIndex = 0;
    s.rate = 40;
    SaveSettings();
    const std::string bytes = SavedBytes();
    EXPECT_EQ(bytes,
              "voice=0\r\nvolume=95\r\nrate=40\r\ncap=Markcapspeech=0\r\ntvo=Evevoice1rate100\r\njsel=a=b\r\n"
              "kr=Rjr=9\r\njr=capMallory\r\njc==\r\nreal=1 tvoMallory\r\ncapspeech=1");

    ResetSettings();
    LoadSettings();
    EXPECT_EQ(Settings().captainName, "Markcapspeech=0");
    EXPECT_EQ(Settings().officerName, "Evevoice1rate100");
    EXPECT_EQ(Settings().recognitionKey, "Rjr=9"); // "jr=" is tested after "kr=": read back whole
    EXPECT_EQ(Settings().recognitionButton, "capMallory");
    EXPECT_EQ(Settings().widgetButton, "=");
    EXPECT_EQ(Settings().joystickSelection, "a=b");
    // A second save of what was read gives the same bytes: the file is stable.
    SaveSettings();
    EXPECT_EQ(SavedBytes(), ReplaceFirst(bytes, "real=1 tvoMallory", "real=1"));
}

TEST_F(SettingsTest, AFailedSaveLeavesThePreviousFileWhole) {
    Load("cap=Mark");
    SaveSettings();
    const std::string before = SavedBytes();
    // A folder where the new file would be written makes the write fail.
    folder.Make("data/settings.txt.new/x");
    Settings().captainName = "Someone else";
    SaveSettings();
    EXPECT_EQ(SavedBytes(), before);
}
} // namespace
