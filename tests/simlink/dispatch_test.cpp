// The simulator dispatch: wire framing of received messages, every module message type that changes
// state, the bounds that keep a module's numbers inside the model, and the speech monitor's messages.
#include "app/dispatch.h"
#include "app/frame.h"
#include "base/log.h"
#include "base/settings.h"
#include "flow/executer.h"
#include "flow/phrase_text.h"
#include "simlink/drf_answer_file.h"
#include "speech/recognition_state.h"
#include "speech/simulated_voice.h"
#include "speech/speech_output.h"
#include "speech/voices.h"
#include "systems/model.h"
#include "tests/fakes/test_support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <tuple>

namespace {
// A model of two systems; system 1 has one device with three parameters.
void SmallModel() {
    ResetSystems();
    auto& systems = Systems().systems_vector;
    systems.resize(2);
    systems[0].name = "A";
    systems[1].name = "S";
    systems[1].Devices.resize(2);
    systems[1].Devices[1].outParameters.resize(6);
}

OutParameter& Param(int s, int d, int p) {
    return Systems().systems_vector[s].Devices[d].outParameters[p];
}

std::vector<uint8_t> ClientData(uint32_t request, const void* data, size_t size) {
    std::vector<uint8_t> bytes(40 + size, 0);
    uint32_t header[4] = {static_cast<uint32_t>(bytes.size()), 6, 16, request};
    std::memcpy(bytes.data(), header, sizeof header);
    std::memcpy(bytes.data() + 40, data, size);
    return bytes;
}

ModuleMessage FromModule(uint32_t type, const std::string& text = "", double valueIn = -1.0, int s = -1,
                         int d = -1, int p = -1) {
    ModuleMessage m = BuildModuleMessage(type, text);
    m.valueIn = valueIn;
    m.systemIndex = s;
    m.deviceIndex = d;
    m.parameterIndex = p;
    return m;
}

struct DispatchTest : ::testing::Test {
    InstallationFolder install;
    void SetUp() override {
        ResetFrame();
        ResetLog();
        ResetDispatch();
        ResetModuleProtocol();
        ResetSettings();
        ResetSpeechOutput();
        UseSimulatedVoice();
        ResetRecognition();
        ResetExecuter();
        PhraseText() = PhraseTextState{};
        SmallModel();
    }
    void Handle(const ModuleMessage& m) {
        auto bytes = ClientData(1, &m, sizeof m);
        DispatchReceived(bytes.data(), bytes.size());
    }
    std::vector<uint32_t> QueuedTypes() {
        std::vector<uint32_t> types;
        for (const auto& m : ModuleProtocol().outgoing) types.push_back(m.type);
        return types;
    }
    std::string SettingsFile() { return install.Bytes("data/settings.txt"); }
};

TEST_F(DispatchTest, FramingQuitDrfBlockAndShortMessages) {
    double values[500];
    for (int i = 0; i < 500; ++i) values[i] = i * 0.5;
    auto block = ClientData(2, values, sizeof values);
    DispatchReceived(block.data(), block.size());
    EXPECT_EQ(Drf().w2e[499], 249.5);
    // Cut short: neither the DRF block nor a module message is read past the received bytes.
    Drf().w2e[10] = -7;
    DispatchReceived(block.data(), block.size() - 1);
    EXPECT_EQ(Drf().w2e[10], -7);
    ModuleMessage answer = FromModule(msgtype_ANSWERACF, "./data/PM738");
    auto bytes = ClientData(1, &answer, sizeof answer);
    DispatchReceived(bytes.data(), bytes.size() - 8);
    EXPECT_EQ(Frame().AcfPath, "");
    DispatchReceived(bytes.data(), 11);
    // Another request id is ignored; the right one is handled.
    bytes[12] = 9;
    DispatchReceived(bytes.data(), bytes.size());
    EXPECT_EQ(Frame().AcfPath, "");
    bytes[12] = 1;
    DispatchReceived(bytes.data(), bytes.size());
    EXPECT_EQ(Frame().AcfPath, "./data/PM738");
    EXPECT_NE(Log().log.text.find("AcfPath(msgtype_ANSWERACF)=./data/PM738\n"), std::string::npos);

    EXPECT_FALSE(Frame().quitRequested);
    uint32_t quit[3] = {12, 6, 3};
    DispatchReceived(reinterpret_cast<uint8_t*>(quit), sizeof quit);
    EXPECT_TRUE(Frame().quitRequested);
}

TEST_F(DispatchTest, TextWithoutNulIsReadOnlyToTheEndOfItsField) {
    ModuleMessage m = FromModule(msgtype_ANSWERACF);
    std::memset(m.text, 'x', sizeof m.text);
    m.sent = 'y';
    Handle(m);
    EXPECT_EQ(Frame().AcfPath, std::string(512, 'x'));
}

TEST_F(DispatchTest, DrfIndicesAcknowledgeTheHeadAndStayInsideTheModel) {
    QueueModuleMessage(kMsgPose, "work_gear");
    PumpOutgoingMessages();
    uint32_t head = ModuleProtocol().outgoing[0].sequence;

    Handle(FromModule(kMsgDrfIndexIn, "", 17, 1, 1, 5));
    EXPECT_EQ(Param(1, 1, 5).inDrf.drfIndex, 17);
    EXPECT_TRUE(Param(1, 1, 5).inDrf.isActive);
    EXPECT_EQ(ModuleProtocol().outgoing[0].done, 0) << "sequence of another message";

    ModuleMessage ack = FromModule(kMsgDrfIndexOut, "", -1, 1, 1, 2);
    ack.sequence = head;
    Handle(ack);
    EXPECT_EQ(ModuleProtocol().outgoing[0].done, 1);
    EXPECT_EQ(Param(1, 1, 2).outDrf.drfIndex, -1);
    EXPECT_FALSE(Param(1, 1, 2).outDrf.isActive) << "index none leaves the flag as it was";

    // Names outside the model, and indices outside the array, change nothing.
    for (auto [s, d, p] : {std::tuple{2, 0, 0}, {1, 2, 0}, {1, 1, 6}, {-1, 0, 0}, {0, 0, 0}})
        Handle(FromModule(kMsgDrfIndexIn, "", 3, s, d, p));
    Handle(FromModule(kMsgDrfIndexIn, "", 500, 1, 1, 0));
    Handle(FromModule(kMsgDrfIndexIn, "", 1e300, 1, 1, 0));
    Handle(FromModule(kMsgDrfIndexIn, "", std::nan(""), 1, 1, 1));
    EXPECT_EQ(Param(1, 1, 0).inDrf.drfIndex, -1);
    EXPECT_EQ(Param(1, 1, 1).inDrf.drfIndex, 0) << "not a number reads as 0";
    EXPECT_NE(Log().log.text.find("names no parameter: 1,2,0"), std::string::npos);
    EXPECT_NE(Log().log.text.find("DRF index out of range: 500"), std::string::npos);

    Handle(FromModule(kMsgKeyEvent, "", 0, 1, 1, 3));
    EXPECT_TRUE(Param(1, 1, 3).inDrf.eventPending);
    Handle(FromModule(kMsgKeyEvent, "", 0, 7, 7, 7));
}

TEST_F(DispatchTest, PoseDoneForAnotherSequenceStillLetsTheExecuterGoOn) {
    QueueModuleMessage(kMsgPose, "work_gear");
    PumpOutgoingMessages();
    ExecuterData().stepReady = false;
    ModuleMessage other = FromModule(kMsgPoseDone);
    other.sequence = ModuleProtocol().outgoing[0].sequence + 5;
    Handle(other);
    EXPECT_TRUE(ExecuterData().stepReady);
    EXPECT_EQ(ModuleProtocol().outgoing[0].done, 0);
}

TEST_F(DispatchTest, ControlWordsAndRunways) {
    Handle(FromModule(msgtype_CONTROL, "RECSTART"));
    EXPECT_EQ(Recognition().pttFlag, 1);
    Handle(FromModule(msgtype_CONTROL, "recstop"));
    EXPECT_EQ(Recognition().pttFlag, 1) << "compared case-sensitively";
    Handle(FromModule(msgtype_CONTROL, "RECSTOP"));
    EXPECT_EQ(Recognition().pttFlag, 0);
    Handle(FromModule(msgtype_CONTROL, "SELECT"));
    Handle(FromModule(msgtype_CONTROL, "CONFIRM"));
    EXPECT_NE(Log().log.text.find(
                  "ProcessedControlButtonClick() inEvent = 1\nProcessedControlButtonClick() inEvent = 2\n"),
              std::string::npos);

    Handle(FromModule(kMsgRunways, "27L#09R"));
    EXPECT_EQ(PhraseText().takeoffRunway, "27L");
    EXPECT_EQ(PhraseText().landingRunway, "09R");
    for (const char* unchanged : {"27L", "27L#09R#01"}) {
        Handle(FromModule(kMsgRunways, unchanged));
        EXPECT_EQ(PhraseText().takeoffRunway, "27L") << unchanged;
        EXPECT_EQ(PhraseText().landingRunway, "09R") << unchanged;
    }
    Handle(FromModule(kMsgRunways, "#"));
    EXPECT_EQ(PhraseText().takeoffRunway, "") << "two empty parts are still two parts";
}

TEST_F(DispatchTest, SettingsMessagesSpeakSaveAndCannotInjectKeys) {
    Handle(FromModule(kMsgOfficerName, "Anna"));
    Handle(FromModule(kMsgUserName, "Bob\r\nvolume=0\r\nkr=X"));
    Handle(FromModule(kMsgRealMode, "1 "));
    Handle(FromModule(kMsgJoystickSelection, "B4"));
    std::string log = Log().log.text;
    EXPECT_NE(log.find("---> SPEECH: Talvero name set as Anna\n"), std::string::npos);
    EXPECT_NE(log.find("---> SPEECH: Real mode off\n"), std::string::npos);
    EXPECT_EQ(Settings().realMode, "1 ");
    EXPECT_EQ(Settings().captainName, "Bobvolume=0kr=X");
    EXPECT_EQ(Settings().joystickSelection, "B4");
    // The joystick selection is not saved by its own message; the file holds exactly eleven keys, and a
    // value that would read back as another key loses its "=".
    std::string file = SettingsFile();
    EXPECT_EQ(file, "voice=0\r\nvolume=95\r\nrate=50\r\ncap=Bobvolume0krX\r\ntvo=Anna\r\njsel=\r\nkr=R\r\n"
                    "jr=0\r\njc=1\r\nreal=1 \r\ncapspeech=1");
    Handle(FromModule(kMsgRealMode, "1"));
    EXPECT_NE(Log().log.text.find("---> SPEECH: Real mode set\n"), std::string::npos);
    Handle(FromModule(kMsgModuleLog, "module says hi"));
    EXPECT_NE(Log().log.text.find("WASM LOG: module says hi\n"), std::string::npos);
}

// The module chooses the first officer's voice; the settings file names the voice that speaks, also when
// the module asked for one that is not installed.
TEST_F(DispatchTest, VoiceChoiceIsSavedAsTheVoiceThatSpeaks) {
    InitTextToSpeech(); // David at 0, Zira at 1 (chosen)
    Handle(FromModule(kMsgSelectVoice, "", 0));
    EXPECT_EQ(SpeechOutput().currentVoiceIndex, 0);
    EXPECT_TRUE(SettingsFile().starts_with("voice=0\r\n")) << SettingsFile();
    Handle(FromModule(kMsgSelectVoice, "", 1));
    EXPECT_TRUE(SettingsFile().starts_with("voice=1\r\n")) << SettingsFile();
    Handle(FromModule(kMsgSelectVoice, "", 7));
    EXPECT_NE(Log().log.text.find("---> SPEECH: Speech voice was not changed.\n"), std::string::npos);
    EXPECT_EQ(SpeechOutput().currentVoiceIndex, 1);
    EXPECT_EQ(Settings().voiceIndex, 1);
    EXPECT_TRUE(SettingsFile().starts_with("voice=1\r\n")) << SettingsFile();
}

TEST_F(DispatchTest, SpeechMonitorGivesOneStartAndOneStopPerUtterance) {
    SpeechStatus status;
    static SpeechStatus* current = nullptr;
    current = &status;
    SpeechOutput().engine.status = [] { return *current; };
    auto Pass = [&](int running, int phoneme) {
        status = {running, phoneme};
        SpeechMonitor();
    };
    Pass(0, 0);
    Pass(2, 10);
    Pass(2, 11);
    Pass(2, 4); // a pause on phoneme 4 counts as silence
    Pass(2, 12);
    Pass(0, 0);
    Pass(0, 0);
    SpeechOutput().lastSpeechKind = 2;
    Pass(2, 1);
    Pass(1, 0);
    EXPECT_EQ(QueuedTypes(), (std::vector<uint32_t>{9, 10, 9, 10, 24, 10}));
    EXPECT_EQ(MessageText(ModuleProtocol().outgoing[0]), "msgtype_SPEECHSTART");
    EXPECT_EQ(MessageText(ModuleProtocol().outgoing[1]), "msgtype_SPEECHSTOP");
    EXPECT_EQ(MessageText(ModuleProtocol().outgoing[4]), "");
    current = nullptr;
}

TEST_F(DispatchTest, AnswerFileAssignsLinksAndSkipsWhatIsNotInTheModel) {
    TempFolder work;
    Frame().wasmWorkPath = work.path + "/";
    work.Write("drf.txt", "0,1,1,5,17\r\n"
                          "1,1,1,5,-1\r\n"
                          "00,1,1,4,3\n"
                          " 0,1,1,3,4\n"
                          "0,1,1,2,9\n"
                          "0,1,1,2,11\n"
                          "0,9,1,2,11\n"
                          "0,1,1,x,11\n"
                          "0,1,1,1,500\n"
                          "0,1,1\n");
    Param(1, 1, 5).outDrf.isActive = true;
    SetFromFileInDrfArrayID();
    EXPECT_EQ(Param(1, 1, 5).inDrf.drfIndex, 17);
    EXPECT_TRUE(Param(1, 1, 5).inDrf.isActive);
    EXPECT_EQ(Param(1, 1, 5).outDrf.drfIndex, -1);
    EXPECT_TRUE(Param(1, 1, 5).outDrf.isActive) << "never cleared";
    EXPECT_EQ(Param(1, 1, 4).outDrf.drfIndex, 3) << "only the single character 0 selects the read link";
    EXPECT_EQ(Param(1, 1, 3).outDrf.drfIndex, 4);
    EXPECT_EQ(Param(1, 1, 2).inDrf.drfIndex, 11) << "a later record wins";
    EXPECT_EQ(Param(1, 1, 1).inDrf.drfIndex, -1);
    std::string log = Log().log.text;
    EXPECT_NE(log.find("WorkParh: usage in SetFromFileInDrfArrayID()" + work.path + "/drf.txt\n"),
              std::string::npos);
    for (const char* skipped : {"0,9,1,2,11", "0,1,1,x,11", "0,1,1,1,500", "0,1,1"})
        EXPECT_NE(log.find(std::string("record skipped: ") + skipped + "\n"), std::string::npos) << skipped;
    EXPECT_EQ(install.Bytes("data/drf.txt"), "\r\n");
    // A missing answer file still leaves the DRF list as one empty line.
    WriteDrfLine("A:X,g,0,0,0,g,");
    Frame().wasmWorkPath = work.path + "/none/";
    SetFromFileInDrfArrayID();
    EXPECT_EQ(install.Bytes("data/drf.txt"), "\r\n");
}
} // namespace

// Volume and rate are settings from 0 to 100: a module's stray number is taken at the nearest end before
// it is announced, given to the engine and saved, so it cannot come back at every start.
TEST_F(DispatchTest, VolumeAndRateFromTheModuleStayWithinTheirSettings) {
    struct Case {
        uint32_t type;
        double value;
        const char* spoken;
        const char* saved;
        int engine; // what the simulated voice holds afterwards
    };
    const Case cases[] = {
        {kMsgSetVolume, 544729, "Speech volume set to 100", "volume=100", 100},
        {kMsgSetVolume, -3, "Speech volume set to 0", "volume=0", 0},
        {kMsgSetVolume, 42.9, "Speech volume set to 42", "volume=42", 42},
        {kMsgSetRate, 544729, "Speech rate set to 100", "rate=100", 11},
        {kMsgSetRate, -1e12, "Speech rate set to 0", "rate=0", -11},
    };
    for (const Case& c : cases) {
        Handle(FromModule(c.type, "", c.value));
        EXPECT_NE(Log().log.text.find(std::string("---> SPEECH: ") + c.spoken + "\n"), std::string::npos)
            << c.spoken;
        EXPECT_NE(SettingsFile().find(std::string(c.saved) + "\r\n"), std::string::npos) << SettingsFile();
        EXPECT_EQ(c.type == kMsgSetVolume ? SimulatedVoice().volume : SimulatedVoice().rate, c.engine)
            << c.spoken;
    }
}
