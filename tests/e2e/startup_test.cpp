// The whole program against the simulator stand-in: the start-up requests on the wire in their order, the
// start-up steps in the log, the aircraft decision, the simulator's quit notice and the shutdown, and a
// connection over TCP named by SimConnect.cfg.
#include "tests/e2e/e2e_fixture.h"

#include "base/helpers.h"
#include "simlink/client/client.h"
#include "simlink/client_data.h"
#include "speech/recognition_state.h"
#include "systems/phrase_context.h"

#include <algorithm>
#include <regex>

namespace {
// Leading requests of a connection, as the stand-in transcribes them (without the "client N #M " prefix).
std::vector<std::string> ExpectedStartupRequests() {
    std::vector<std::string> expected = {
        "Open size=296 name=\"Windows Event\" reserved=0 marker=00484B00 version=11.0 build=62651.3",
    };
    struct Area {
        const char* name;
        int id, define, size, request;
    };
    const Area areas[] = {{"NodeAxisData", 1, 0, 32, 0},
                          {"MessageE2W", 2, 1, 560, 0},
                          {"MessageW2E", 3, 2, 560, 1},
                          {"DrfW2E", 4, 3, 4000, 2},
                          {"DrfE2W", 5, 4, 4000, 0}};
    for (const Area& a : areas) {
        std::string id = std::to_string(a.id), define = std::to_string(a.define),
                    size = std::to_string(a.size);
        expected.push_back("MapClientDataNameToID size=276 name=\"" + std::string(a.name) + "\" id=" + id);
        expected.push_back("AddToClientDataDefinition size=36 define=" + define + " offset=-1 size=" + size +
                           " epsilon=0 datum=-1");
        expected.push_back("CreateClientData size=28 id=" + id + " (" + a.name + ") bytes=" + size +
                           " flags=0");
        if (a.request)
            expected.push_back("RequestClientData size=48 id=" + id + " (" + a.name +
                               ") request=" + std::to_string(a.request) + " define=" + define +
                               " period=3 flags=0 origin=0 interval=0 limit=0");
    }
    expected.push_back(
        "SetClientData size=596 client_data=2 (MessageE2W) define=1 flags=0 reserved=0 unit=560");
    return expected;
}

} // namespace

TEST_F(EndToEndTest, StartUpSendsItsRequestsInOrderThenTheModuleMessagesAndDrfE2WEveryPass) {
    ProgramRun run = Fly({"clock ready", "at 0.3 quit"});
    EXPECT_FALSE(run.watchdogFired);

    std::vector<std::string> transcript = standIn->Transcript();
    ASSERT_GT(transcript.size(), 25u);
    EXPECT_EQ(transcript[0], "client 1 connected pipe \\\\.\\pipe\\" + install.pipeName);
    std::vector<std::string> expected = ExpectedStartupRequests();
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(transcript[1 + i], "client 1 #" + std::to_string(i + 1) + " " + expected[i])
            << "request " << i + 1;
    }
    EXPECT_EQ(
        transcript[1 + expected.size()],
        "client 1 MessageE2W seq=4294967295 type=22 system=-1 device=-1 parameter=-1 out=-1 in=-1 text=\"\"");

    // From the first pass on: at most one module message and then one DrfE2W block per pass, numbered
    // without gaps, the module messages in the order start-up queued them.
    std::vector<uint32_t> types;
    long drfBlocks = 0;
    std::string kinds;        // "M" for a module message, "D" for a DrfE2W block, in the order sent
    bool messageOpen = false; // a module message was sent and no DrfE2W block has followed yet
    unsigned long nextId = expected.size() + 1;
    const std::regex unchanged(R"(client 1 #(\d+)-#(\d+) SetClientData DrfE2W unchanged x(\d+))");
    const std::regex drf(
        R"(client 1 #(\d+) SetClientData size=4036 client_data=5 \(DrfE2W\) define=4 .*unit=4000)");
    const std::regex message(
        R"(client 1 #(\d+) SetClientData size=596 client_data=2 \(MessageE2W\) define=1 .*)");
    const std::regex record(R"(client 1 MessageE2W seq=\d+ type=(\d+) .*)");
    for (size_t i = 2 + expected.size(); i < transcript.size(); ++i) {
        const std::string& line = transcript[i];
        SCOPED_TRACE(line);
        std::smatch m;
        if (std::regex_match(line, m, unchanged)) {
            unsigned long first = std::stoul(m[1]), last = std::stoul(m[2]);
            EXPECT_EQ(first, nextId);
            EXPECT_EQ(last - first + 1, std::stoul(m[3]));
            nextId = last + 1;
            drfBlocks += static_cast<long>(last - first + 1);
            kinds.append(last - first + 1, 'D');
            messageOpen = false;
        } else if (std::regex_match(line, m, drf)) {
            EXPECT_EQ(std::stoul(m[1]), nextId++);
            ++drfBlocks;
            kinds += 'D';
            messageOpen = false;
        } else if (std::regex_match(line, m, message)) {
            EXPECT_EQ(std::stoul(m[1]), nextId++);
            EXPECT_FALSE(messageOpen) << "two module messages in one pass";
            messageOpen = true;
            kinds += 'M';
        } else if (std::regex_match(line, m, record)) {
            types.push_back(static_cast<uint32_t>(std::stoul(m[1])));
        } else {
            EXPECT_TRUE(line.starts_with("client 1 DrfE2W changed") ||
                        line == "client 1 ended: stand-in stopped");
        }
    }
    // The queue's rhythm: a message in pass 1, its removal in pass 2, the next message in pass 3, ...
    EXPECT_TRUE(kinds.starts_with("MDDMDDMD")) << kinds;
    // The stand-in stops reading when it has sent the quit notice: the last passes before the program saw
    // it are not transcribed.
    ASSERT_GT(run.passesAtQuit, 10);
    EXPECT_GE(drfBlocks, run.passesAtQuit - 5);
    EXPECT_LE(drfBlocks, run.passesAtQuit);
    ASSERT_GE(types.size(), 3u);
    EXPECT_EQ(types[0], 15u); // the voice's index, when speech output started
    EXPECT_EQ(types[1], 26u); // the settings were loaded
    EXPECT_EQ(types[2], 36u); // start-up is complete: the last message of start-up

    // The start-up steps in their order, each once, then the main loop's first module message.
    const std::string context = ToString(static_cast<int>(PhraseContext().phraseContext.size()));
    const std::vector<std::string> steps = {
        "DVersion: ",
        "LogTime: ",
        "LOCALAPPDATA folder=" + install.local,
        "APPDATA folder=" + install.roaming,
        "WASM WorkPath: " + install.work,
        ".",
        "..",
        "...",
        "....",
        "hSimConnect connection Ok",
        "AcfPath Request msgtype_REQUESTACF",
        "AcfPath(msgtype_ANSWERACF)=./data/PM738",
        "MyDispatchProcWE Done",
        "AcfPath=./data/PM738",
        "PMDG .ini file was updated",
        "PmdgPath=", // the Community folder as the platform spells the working folder
        "Available Speakers List:",
        "Init Recognition & TTS Done",
        "CreateSystemsFromFile()",
        "---CONTEXT:",
        "---CONTEXT Size():" + context,
        "---END CONTEXT",
        "---ALL PHRASES:---",
        "MessageE2W:",
    };
    std::vector<std::string> log = SplitLines(run.log);
    size_t at = 0;
    for (const std::string& step : steps) {
        auto found =
            std::find_if(log.begin() + static_cast<long>(at), log.end(), [&](const std::string& line) {
                return step.ends_with(": ") || step.ends_with("=") ? line.starts_with(step) : line == step;
            });
        ASSERT_NE(found, log.end()) << "missing or out of order: " << step;
        at = static_cast<size_t>(found - log.begin()) + 1;
    }
    EXPECT_GT(PhraseContext().phraseContext.size(), 19u); // the built-in phrases and the profile's
    // The 737 add-on set up for real: data broadcast on, the patched model in the companion package.
    EXPECT_NE(ReadBytes(install.addOnOptions).find("EnableDataBroadcast = 1"), std::string::npos);
    EXPECT_NE(ReadBytes(install.community +
                        "/quillbrook-talvero-pmdg-738/SimObjects/Airplanes/TalVero_PMDG738/"
                        "model.BW/PMDG_737-800NG_VC.gltf")
                  .find("PILOT_1"),
              std::string::npos);
    EXPECT_EQ(run.infoBoxes, (std::vector<std::string>{"PMDG .ini file was updated. Please reload MSFS",
                                                       "TALVERO files was updated. Please reload MSFS"}));

    // The quit notice: no exit reason, the loop ends at the top of the next pass, then the shutdown.
    EXPECT_EQ(run.log.find("EXIT: "), std::string::npos);
    EXPECT_EQ(run.passes, run.passesAtQuit);
    EXPECT_EQ(run.shutdown, (std::vector<std::string>{"destroyWidget", "closeSimulator clear",
                                                      "shutdownGraphics", "shutdownRecognition"}));
    EXPECT_FALSE(SimulatorLinkOpen());
    EXPECT_EQ(Recognition().recoState, 4);
}

// The module names the aircraft folder; only the two exact texts are accepted.
TEST_F(EndToEndTest, AnAircraftFolderOtherThanTheTwoIsRefused) {
    const std::string options = ReadBytes(install.addOnOptions);
    for (const std::string& folder :
         {std::string("./data/PM738/"), std::string("./data/B738"), std::string("")}) {
        SCOPED_TRACE(folder);
        RunOptions options;
        options.aircraftAnswerSeconds = 1.5; // an empty folder is no answer at all: start-up waits it out
        ProgramRun run = Fly(
            {"at 0 quit"}, [&](standin::StandIn& s) { s.options.aircraft = folder; }, options);
        std::vector<std::string> log = SplitLines(run.log);
        ASSERT_FALSE(log.empty());
        if (folder.empty()) {
            EXPECT_EQ(log.back(), "EXIT: The simulator module did not name the aircraft within 1.5 seconds");
        } else {
            EXPECT_EQ(log.back(), "EXIT: AcfType");
            EXPECT_TRUE(HasLine(log, "AcfPath(msgtype_ANSWERACF)=" + folder));
            EXPECT_TRUE(HasLine(log, "MyDispatchProcWE Done"));
        }
        EXPECT_FALSE(HasLine(log, "AcfPath=")) << "the aircraft must not be taken";
        EXPECT_EQ(run.passes, 0);
        EXPECT_EQ(run.shutdown, (std::vector<std::string>{"closeSimulator"}));
        EXPECT_FALSE(SimulatorLinkOpen());
        EXPECT_FALSE(HasLine(standIn->Transcript(), "type=36")) << "start-up went on";
    }
    EXPECT_EQ(ReadBytes(install.addOnOptions), options);
}

// SimConnect.cfg in the program's folder names TCP: the connection goes there and nowhere else.
TEST_F(EndToEndTest, SimConnectCfgLeadsTheConnectionOverTcp) {
    auto standIn = StartStandIn({"clock ready", "at 0.2 quit"}, [](standin::StandIn& s) {
        s.options.pipe = false;
        s.options.port = 0;
    });
    const std::string port = std::to_string(standIn->s.boundPort);
    temp.Write("MSFS/Community/quillbrook-talvero/SimConnect.cfg",
               "[SimConnect]\r\nProtocol=IPv4\r\nAddress=127.0.0.1\r\nPort=" + port + "\r\n");
    ProgramRun run = Run();
    standIn->Stop();
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(SimConnectClient().attempts, (std::vector<std::string>{"tcp4 127.0.0.1 " + port + " ok"}));
    std::vector<std::string> transcript = standIn->Transcript();
    ASSERT_GT(transcript.size(), 2u);
    EXPECT_EQ(transcript[0], "client 1 connected tcp4 127.0.0.1 " + port);
    EXPECT_TRUE(HasLine(transcript, "type=36"));
}
