// The client against the simulator stand-in, over the pipe (its Unix-socket stand-in on Linux) and TCP:
// the set-up sequence of the client data areas, the module's answers, DRF assignment both ways, scenario
// messages, the quit notice and malformed clients (the busy pipe is waited for in tests/e2e).
#include "simlink/client_data.h"
#include "tests/simconnect/harness.h"

#include <chrono>
#include <cstring>
#include <thread>

namespace {
enum class Via { Pipe, Tcp4, Tcp6 };

class StandInTest : public SimConnectTest {
protected:
    // Starts the stand-in on the transport and points the client's configuration at it.
    std::unique_ptr<RunningStandIn> Start(Via via,
                                          const std::function<void(standin::Options&)>& more = nullptr,
                                          const std::vector<std::string>& scenario = {}) {
        std::string pipe = pipeName;
        auto standIn = std::make_unique<RunningStandIn>(
            [&](standin::Options& o) {
                o.pipe = via == Via::Pipe;
                o.pipeName = pipe;
                if (via == Via::Tcp4) o.port = 0;
                if (via == Via::Tcp6) o.port6 = 0;
                o.poseTime = 0;
                if (more) more(o);
            },
            scenario);
        if (via == Via::Tcp4) {
            WriteConfig(2, "[SimConnect]\nProtocol=IPv4\nAddress=127.0.0.1\nPort=" +
                               std::to_string(standIn->s.boundPort) + "\nDisableNagle=1\n");
        }
        if (via == Via::Tcp6) {
            WriteConfig(2, "[SimConnect]\nProtocol=IPv6\nAddress=::1\nPort=" +
                               std::to_string(standIn->s.boundPort6) + "\n");
        }
        return standIn;
    }
    static SimulatorMessage Decode(const std::string& m) {
        return DecodeSimulatorMessage(reinterpret_cast<const uint8_t*>(m.data()),
                                      static_cast<uint32_t>(m.size()));
    }
    // Dispatches until a module message of `type` has come; it is returned decoded.
    bool WaitForModuleMessage(uint32_t type, standin::ModuleRecord& found, int ms = 5000) {
        return PumpUntil(
            SimLink().handle, SimLink().event, seen,
            [&] {
                for (const std::string& m : seen) {
                    SimulatorMessage d = Decode(m);
                    if (d.kind == SimulatorMessageKind::ModuleMessage && U32(m, 44) == type) {
                        found = standin::DecodeRecord(d.data);
                        return true;
                    }
                }
                return false;
            },
            ms);
    }
    // Dispatches until DrfW2E holds `value` at `index`.
    bool WaitForDrfValue(size_t index, double value, int ms = 5000) {
        return PumpUntil(
            SimLink().handle, SimLink().event, seen,
            [&] {
                for (auto it = seen.rbegin(); it != seen.rend(); ++it) {
                    SimulatorMessage d = Decode(*it);
                    if (d.kind != SimulatorMessageKind::DrfValues) continue;
                    double v;
                    std::memcpy(&v, d.data + 8 * index, sizeof v);
                    return v == value;
                }
                return false;
            },
            ms);
    }
    std::vector<standin::ModuleRecord> ModuleMessages() {
        std::vector<standin::ModuleRecord> out;
        for (const std::string& m : seen) {
            SimulatorMessage d = Decode(m);
            if (d.kind == SimulatorMessageKind::ModuleMessage) out.push_back(standin::DecodeRecord(d.data));
        }
        return out;
    }
    void SendRecord(uint32_t sequence, uint32_t type, const std::string& text, double valueOut = -1.0) {
        std::string bytes = ModuleRecordBytes(sequence, type, text, valueOut);
        ASSERT_EQ(SendModuleRecord(reinterpret_cast<const uint8_t*>(bytes.data())), kSimOk);
    }
    std::vector<std::string> seen;
};

class SetUpSequence : public StandInTest, public ::testing::WithParamInterface<Via> {};

std::vector<std::string> RequestLines(const std::vector<std::string>& lines) {
    std::vector<std::string> out;
    for (const std::string& l : lines) {
        if (l.rfind("client 1 #", 0) == 0) out.push_back(l);
    }
    return out;
}
} // namespace

TEST_P(SetUpSequence, AreasAreSetUpInOrderAndTheModuleAnswers) {
    auto standIn = Start(GetParam());
    ASSERT_TRUE(standIn->Started());
    ASSERT_TRUE(OpenSimulatorLink());
    ASSERT_TRUE(SimulatorLinkOpen());
    ASSERT_TRUE(standIn->WaitForLine("client 1 #18 "));
    const std::vector<std::string> expected = {
        "client 1 #1 Open size=296 name=\"Windows Event\" reserved=0 marker=00484B00 version=11.0 "
        "build=62651.3",
        "client 1 #2 MapClientDataNameToID size=276 name=\"NodeAxisData\" id=1",
        "client 1 #3 AddToClientDataDefinition size=36 define=0 offset=-1 size=32 epsilon=0 datum=-1",
        "client 1 #4 CreateClientData size=28 id=1 (NodeAxisData) bytes=32 flags=0",
        "client 1 #5 MapClientDataNameToID size=276 name=\"MessageE2W\" id=2",
        "client 1 #6 AddToClientDataDefinition size=36 define=1 offset=-1 size=560 epsilon=0 datum=-1",
        "client 1 #7 CreateClientData size=28 id=2 (MessageE2W) bytes=560 flags=0",
        "client 1 #8 MapClientDataNameToID size=276 name=\"MessageW2E\" id=3",
        "client 1 #9 AddToClientDataDefinition size=36 define=2 offset=-1 size=560 epsilon=0 datum=-1",
        "client 1 #10 CreateClientData size=28 id=3 (MessageW2E) bytes=560 flags=0",
        "client 1 #11 RequestClientData size=48 id=3 (MessageW2E) request=1 define=2 period=3 flags=0 "
        "origin=0 interval=0 limit=0",
        "client 1 #12 MapClientDataNameToID size=276 name=\"DrfW2E\" id=4",
        "client 1 #13 AddToClientDataDefinition size=36 define=3 offset=-1 size=4000 epsilon=0 datum=-1",
        "client 1 #14 CreateClientData size=28 id=4 (DrfW2E) bytes=4000 flags=0",
        "client 1 #15 RequestClientData size=48 id=4 (DrfW2E) request=2 define=3 period=3 flags=0 origin=0 "
        "interval=0 limit=0",
        "client 1 #16 MapClientDataNameToID size=276 name=\"DrfE2W\" id=5",
        "client 1 #17 AddToClientDataDefinition size=36 define=4 offset=-1 size=4000 epsilon=0 datum=-1",
        "client 1 #18 CreateClientData size=28 id=5 (DrfE2W) bytes=4000 flags=0",
    };
    EXPECT_EQ(RequestLines(standIn->Lines()), expected);

    // The aircraft request: one record straight to MessageE2W; the module answers with type 23.
    SendRecord(0xFFFFFFFF, 22, "");
    standin::ModuleRecord answer;
    ASSERT_TRUE(WaitForModuleMessage(23, answer));
    EXPECT_EQ(answer.text, "./data/PM738");
    EXPECT_EQ(answer.sequence, 0xFFFFFFFFu);
    EXPECT_TRUE(standIn->WaitForLine("client 1 #19 SetClientData size=596 client_data=2 (MessageE2W) "
                                     "define=1 flags=0 reserved=0 unit=560"));
    EXPECT_TRUE(
        standIn->WaitForLine("client 1 MessageE2W seq=4294967295 type=22 system=-1 device=-1 parameter=-1"));

    double values[500] = {};
    values[3] = 1.5;
    ASSERT_EQ(SendDrfE2W(values), kSimOk);
    EXPECT_TRUE(standIn->WaitForLine(
        "client 1 #20 SetClientData size=4036 client_data=5 (DrfE2W) define=4 flags=0 reserved=0 unit=4000"));
    EXPECT_TRUE(standIn->WaitForLine("client 1 DrfE2W changed [3]=1.5"));
    // Each block once the one before has gone: a DRF block still waiting would be superseded.
    auto sent = [] {
        for (int i = 0; i < 300 && SimLink().handle->QueuedSendBytes() > 0; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    };
    sent();
    ASSERT_EQ(SendDrfE2W(values), kSimOk);
    sent();
    ASSERT_EQ(SendDrfE2W(values), kSimOk);

    CloseSimulatorLink(true);
    EXPECT_FALSE(SimulatorLinkOpen());
    ASSERT_TRUE(standIn->WaitForLine("client 1 ended: disconnected"));
    std::vector<std::string> lines = RequestLines(standIn->Lines());
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[lines.size() - 2], "client 1 #21-#22 SetClientData DrfE2W unchanged x2");
    EXPECT_EQ(lines.back(), "client 1 #23 ClearClientDataDefinition size=20 define=1");
}

INSTANTIATE_TEST_SUITE_P(Transports, SetUpSequence, ::testing::Values(Via::Pipe, Via::Tcp4, Via::Tcp6),
                         [](const ::testing::TestParamInfo<Via>& info) {
                             return info.param == Via::Pipe   ? "Pipe"
                                    : info.param == Via::Tcp4 ? "Tcp4"
                                                              : "Tcp6";
                         });

TEST_F(StandInTest, DrfIndicesByMessagesVariablesBothWaysAndPoses) {
    temp->Write("program/data/drf.txt",
                "L:switch_101,n,1,0,2,g,\r\nL:switch_101,n,1,0,3,s,\r\nA:LIGHT LANDING,e,0,0,0,g,\r\n"
                "K:FLAPS_INCR,n,0,1,0,g,\r\nbroken line\r\n");
    std::string program = temp->path + "/program";
    auto standIn = Start(
        Via::Tcp4, [&](standin::Options& o) { o.programFolder = program; },
        {"clock ready", "set L:switch_101 4", "set A:LIGHT LANDING 1", "at 0.05 keyevent K:FLAPS_INCR"});
    ASSERT_TRUE(OpenSimulatorLink());
    SendRecord(0, 36, "");
    ASSERT_TRUE(WaitForDrfValue(0, 4.0));
    ASSERT_TRUE(WaitForDrfValue(1, 1.0));
    std::vector<standin::ModuleRecord> messages = ModuleMessages();
    struct Expected {
        uint32_t type;
        int system, device, parameter;
        double index;
    };
    const Expected expected[] = {{1, 1, 0, 2, 0}, {3, 1, 0, 3, 0}, {1, 0, 0, 0, 1}, {1, 0, 1, 0, 2}};
    ASSERT_GE(messages.size(), 4u);
    for (size_t i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(messages[i].type, expected[i].type);
        EXPECT_EQ(messages[i].system, expected[i].system);
        EXPECT_EQ(messages[i].device, expected[i].device);
        EXPECT_EQ(messages[i].parameter, expected[i].parameter);
        EXPECT_EQ(messages[i].valueIn, expected[i].index);
        EXPECT_EQ(messages[i].sequence, 0xFFFFFFFFu); // never mistaken for an acknowledgement
    }
    standin::ModuleRecord key;
    ASSERT_TRUE(WaitForModuleMessage(4, key));
    EXPECT_EQ(key.system, 0);
    EXPECT_EQ(key.device, 1);
    // A pose is acknowledged with its own sequence.
    SendRecord(41, 7, "Seat_Idle", 2);
    standin::ModuleRecord done;
    ASSERT_TRUE(WaitForModuleMessage(8, done));
    EXPECT_EQ(done.sequence, 41u);
    EXPECT_TRUE(standIn->WaitForLine(
        "MessageE2W seq=41 type=7 system=-1 device=-1 parameter=-1 out=2 in=-1 text=\"Seat_Idle\""));

    // Calculator code sets a variable; the program's write link sets it too; both come back in DrfW2E.
    SendRecord(1, 5, "7 (>L:switch_101)", 0);
    ASSERT_TRUE(WaitForDrfValue(0, 7.0));
    SendRecord(2, 5, "(L:switch_101) 2 * (>L:switch_101, bool)", 0);
    ASSERT_TRUE(WaitForDrfValue(0, 14.0));
    double values[500] = {};
    values[0] = 9;
    ASSERT_EQ(SendDrfE2W(values), kSimOk);
    ASSERT_TRUE(WaitForDrfValue(0, 9.0));
    bool skipped = false;
    for (const std::string& l : standIn->LogLines())
        skipped = skipped || l.find("skipped: \"broken line\"") != std::string::npos;
    EXPECT_TRUE(skipped);
    CloseSimulatorLink(true);
}

TEST_F(StandInTest, DrfIndicesByTheAnswerFile) {
    temp->Write("program/data/drf.txt", "L:a,n,0,0,0,g,\nL:b,e,0,0,1,s,\nL:c,n,2,1,5,g,\n");
    std::string program = temp->path + "/program";
    std::string work = temp->path + "/work";
    temp->Make("work/x");
    auto standIn = Start(Via::Pipe, [&](standin::Options& o) {
        o.programFolder = program;
        o.workFolder = work;
        o.assignByFile = true;
    });
    ASSERT_TRUE(OpenSimulatorLink());
    SendRecord(0, 36, "");
    standin::ModuleRecord notice;
    ASSERT_TRUE(WaitForModuleMessage(37, notice));
    EXPECT_EQ(ReadBytes(work + "/drf.txt"), "0,0,0,0,0\r\n1,0,0,1,0\r\n0,2,1,5,1\r\n");
    CloseSimulatorLink(true);
}

TEST_F(StandInTest, ScenarioMessagesArriveInOrderAndQuitEndsTheRun) {
    auto standIn = Start(Via::Tcp4, nullptr,
                         {"clock open", "# the flight", "at 0 control RECSTART", "at +0.02 runways 27L#09R",
                          "at +0.02 message 34 value=2 1", "at +0.02 volume 80",
                          "at +0.02 log hello there  # note", "at +0.02 foname Anna", "at 0.3 quit"});
    ASSERT_TRUE(OpenSimulatorLink());
    bool quit = false;
    ASSERT_TRUE(PumpUntil(SimLink().handle, SimLink().event, seen, [&] {
        for (const std::string& m : seen) quit = quit || U32(m, 8) == kRecvIdQuit;
        return quit;
    }));
    std::vector<standin::ModuleRecord> messages = ModuleMessages();
    ASSERT_EQ(messages.size(), 6u);
    EXPECT_EQ(messages[0].type, 32u);
    EXPECT_EQ(messages[0].text, "RECSTART");
    EXPECT_EQ(messages[1].type, 33u);
    EXPECT_EQ(messages[1].text, "27L#09R");
    EXPECT_EQ(messages[2].type, 34u);
    EXPECT_EQ(messages[2].text, "1");
    EXPECT_EQ(messages[2].valueIn, 2.0);
    EXPECT_EQ(messages[3].type, 13u);
    EXPECT_EQ(messages[3].valueIn, 80.0);
    EXPECT_EQ(messages[4].type, 38u);
    EXPECT_EQ(messages[4].text, "hello there");
    EXPECT_EQ(messages[5].type, 27u);
    EXPECT_EQ(messages[5].text, "Anna");
    // The quit ends the stand-in itself once the client has gone.
    CloseSimulatorLink(false);
    standIn->thread.join();
    EXPECT_TRUE(standIn->s.stop.load());
}

TEST_F(StandInTest, MalformedClientsAreDroppedAndTheStandInKeepsServing) {
    auto standIn = Start(Via::Tcp4);
    ASSERT_TRUE(standIn->Started());
    std::string open = std::string(U32Bytes(296)) + U32Bytes(5) + U32Bytes(0xF0000001) + U32Bytes(1) +
                       std::string(280, '\0');
    struct Case {
        const char* name;
        std::string bytes;
        bool closeAfter;
        std::string line;
    };
    const std::vector<Case> cases = {
        {"size below the header", U32Bytes(12) + std::string(8, '\0'), false,
         "ended: dropped: request size 12 below the 16-byte header"},
        {"unknown id", U32Bytes(16) + U32Bytes(5) + U32Bytes(0xF0000099) + U32Bytes(1), false,
         "ended: dropped: unknown request id 0xF0000099"},
        {"wrong size",
         U32Bytes(300) + U32Bytes(5) + U32Bytes(0xF0000001) + U32Bytes(1) + std::string(284, '\0'), false,
         "ended: dropped: Open of 300 bytes, expected 296"},
        {"wrong version", U32Bytes(20) + U32Bytes(4) + U32Bytes(0xF000003A) + U32Bytes(1) + U32Bytes(0),
         false, "ended: dropped: protocol version 4 in request 0xF000003A"},
        {"request before open", U32Bytes(20) + U32Bytes(5) + U32Bytes(0xF000003A) + U32Bytes(1) + U32Bytes(0),
         false, "ended: dropped: ClearClientDataDefinition before Open"},
        {"set with a wrong unit size",
         open + U32Bytes(40) + U32Bytes(5) + U32Bytes(0xF000003C) + U32Bytes(2) + U32Bytes(2) + U32Bytes(1) +
             U32Bytes(0) + U32Bytes(0) + U32Bytes(560) + U32Bytes(0),
         false, "ended: dropped: SetClientData of 40 bytes, expected 596"},
        {"vanishing mid-request", open.substr(0, 100), true, "ended: disconnected"},
    };
    int client = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ++client;
        RawClient raw;
        ASSERT_TRUE(raw.ConnectTcp(2, "127.0.0.1", standIn->s.boundPort));
        ASSERT_TRUE(raw.Send(c.bytes));
        if (!c.closeAfter)
            EXPECT_TRUE(raw.WaitEnded());
        else
            TransportClose(raw.transport);
        EXPECT_TRUE(standIn->WaitForLine("client " + std::to_string(client) + " " + c.line));
    }
    // A well-formed client is still served.
    ASSERT_TRUE(OpenSimulatorLink());
    SendRecord(0xFFFFFFFF, 22, "");
    standin::ModuleRecord answer;
    EXPECT_TRUE(WaitForModuleMessage(23, answer));
    CloseSimulatorLink(true);
}

TEST(SimStandInOptions, CommandLine) {
    standin::Options o;
    std::string error;
    ASSERT_TRUE(standin::ParseOptions({"--pipe",       "My Pipe",
                                       "--port",       "500",
                                       "--port6",      "0",
                                       "--aircraft",   "./data/FN320",
                                       "--work",       "/w",
                                       "--program",    "/p",
                                       "--scenario",   "s.txt",
                                       "--transcript", "t.txt",
                                       "--pose-time",  "0.5",
                                       "--once",       "--max-seconds",
                                       "60",           "--assign",
                                       "messages",     "--drop-at-request",
                                       "19",           "--no-aircraft-answer"},
                                      o, error))
        << error;
    EXPECT_EQ(o.pipeName, "My Pipe");
    EXPECT_EQ(o.port, 500);
    EXPECT_EQ(o.port6, 0);
    EXPECT_EQ(o.aircraft, "./data/FN320");
    EXPECT_EQ(o.workFolder, "/w");
    EXPECT_FALSE(o.assignByFile);
    EXPECT_EQ(o.poseTime, 0.5);
    EXPECT_TRUE(o.once);
    EXPECT_EQ(o.dropAtRequest, 19u);
    EXPECT_FALSE(o.answerAircraft);
    for (const std::vector<std::string>& bad :
         std::vector<std::vector<std::string>>{{"--port", "70000"},
                                               {"--port"},
                                               {"--bogus"},
                                               {"--assign", "file"},
                                               {"--pose-time", "-1"},
                                               {"--drop-at-request", "0"}}) {
        standin::Options other;
        EXPECT_FALSE(standin::ParseOptions(bad, other, error)) << bad[0];
    }
}

TEST(SimStandInScenario, Format) {
    standin::Scenario s;
    std::string error;
    ASSERT_TRUE(standin::ParseScenario({"clock open", "posetime 0.5", "posetime Wave 2", "set L:X 3",
                                        "at 5 quit", "at 1 control RECSTART", "at +1 control RECSTOP",
                                        "  # comment", "", "at 1 runways 27L#09R # trailing"},
                                       s, error))
        << error;
    EXPECT_TRUE(s.clockAtOpen);
    EXPECT_EQ(s.poseTime, 0.5);
    EXPECT_EQ(s.poseTimes["Wave"], 2.0);
    ASSERT_EQ(s.actions.size(), 4u);
    EXPECT_EQ(s.actions[0].verb, "control");
    EXPECT_EQ(s.actions[1].verb, "runways");
    EXPECT_EQ(s.actions[1].argument, "27L#09R");
    EXPECT_EQ(s.actions[2].time, 2.0);
    EXPECT_EQ(s.actions[3].verb, "quit");
    for (const char* bad : {"at x control A", "at 1 fly", "clock later", "set L:X", "frobnicate",
                            "at 1 message x", "at 1 stall", "at 1 stall -2", "at 1 badsize many"}) {
        standin::Scenario other;
        EXPECT_FALSE(standin::ParseScenario({bad}, other, error)) << bad;
        EXPECT_NE(error.find("line 1"), std::string::npos);
    }
}
