// The client's configuration: the three "SimConnect.cfg" files and their precedence, the keys' rules,
// the registry ports, and the connection order with its fallbacks as the attempts show it.
#include "tests/simconnect/harness.h"

namespace {
class SimConnectConfigTest : public SimConnectTest {
protected:
    SimConnectConfig Read(uint32_t index = 0, bool* ok = nullptr) {
        SimConnectConfig config;
        config.registryKey = registryKey;
        bool found = ReadSimConnectConfig(index, config);
        if (ok) *ok = found;
        return config;
    }
    // A local port nobody listens on.
    std::string ClosedPort(int family) {
        std::string error;
        ServerListener* l = ListenTcp(family, family == 23 ? "::1" : "127.0.0.1", 0, error);
        if (!l) return "1";
        std::string port = std::to_string(ListenerPort(l));
        CloseListener(l);
        return port;
    }
    // The attempts of one Open, with the platform's error numbers left out.
    std::vector<std::string> Attempts(uint32_t expectedStatus = kSimFail) {
        SimConnectHandle* handle = nullptr;
        EXPECT_EQ(SimConnect_Open(&handle, "Order", nullptr, 0, nullptr, 0), expectedStatus);
        if (handle) SimConnect_Close(handle);
        std::vector<std::string> out;
        for (std::string a : SimConnectClient().attempts) {
            size_t failed = a.find(" failed");
            if (failed != std::string::npos) a = a.substr(0, failed + 7);
            out.push_back(a);
        }
        return out;
    }
    std::string DefaultPipe() { return "pipe \\\\.\\pipe\\" + pipeName; }
};
} // namespace

TEST_F(SimConnectConfigTest, LaterFilesOverrideEarlierOnesExceptMaxReceiveSize) {
    WriteConfig(0, "[SimConnect]\nProtocol=IPv4\nPort=100\nAddress=127.0.0.5\n"
                   "MaxReceiveSize=50000\nDisableNagle=1\n");
    WriteConfig(1, "[SimConnect]\nPort=200\nMaxReceiveSize=45000\n");
    WriteConfig(2, "; the current folder\n[Other]\nPort=999\n[SimConnect]\nAddress=127.0.0.9\n"
                   "MaxReceiveSize=42000\nDisableNagle=0\n");
    SimConnectConfig c = Read();
    EXPECT_EQ(c.protocol, kProtocolIPv4);
    EXPECT_EQ(c.port, "200");
    EXPECT_EQ(c.address, "127.0.0.9");
    EXPECT_EQ(c.maxReceiveSize, 50000u);
    EXPECT_FALSE(c.disableNagle);
}

TEST_F(SimConnectConfigTest, KeyRules) {
    struct Case {
        const char* file;
        uint32_t protocol;
        uint32_t maxReceive;
        bool nagle;
    };
    const Case cases[] = {
        {"Protocol=pipe\n", kProtocolPipe, 41088, false},
        {"Protocol=aUtO\n", kProtocolPipe, 41088, false},
        {"protocol=ipv6\nPort=5\n", kProtocolIPv6, 41088, false},
        {"Protocol=IPv4\nPort=5\n", kProtocolIPv4, 41088, false},
        {"Protocol=tcp\n", kProtocolPipe, 41088, false},       // unknown text: unchanged
        {"MaxReceiveSize=100\n", kProtocolPipe, 41088, false}, // never lowered
        {"MaxReceiveSize=41089\n", kProtocolPipe, 41089, false},
        {"MaxReceiveSize=abc\n", kProtocolPipe, 41088, false},
        {"DisableNagle=1\n", kProtocolPipe, 41088, true},
        {"DisableNagle=7\n", kProtocolPipe, 41088, true},
        {"DisableNagle=\n", kProtocolPipe, 41088, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        WriteConfig(2, std::string("[SimConnect]\n") + c.file);
        SimConnectConfig read = Read();
        EXPECT_EQ(read.protocol, c.protocol);
        EXPECT_EQ(read.maxReceiveSize, c.maxReceive);
        EXPECT_EQ(read.disableNagle, c.nagle);
    }
    // "Pipe" in a later file takes back an earlier file's IPv4.
    WriteConfig(1, "[SimConnect]\nProtocol=IPv4\nPort=5\n");
    WriteConfig(2, "[SimConnect]\nProtocol=pIpE\n");
    EXPECT_EQ(Read().protocol, kProtocolPipe);
}

TEST_F(SimConnectConfigTest, TheRegistryGivesThePortOnlyWhenNoneIsKnown) {
    WriteRegistryPort(false, "4711");
    WriteRegistryPort(true, "4712");
    WriteConfig(0, "[SimConnect]\nProtocol=IPv4\n");
    EXPECT_EQ(Read().port, "4711");
    WriteConfig(1, "[SimConnect]\nPort=200\n");
    EXPECT_EQ(Read().port, "200"); // a later file's port wins
    WriteConfig(0, "[SimConnect]\nPort=300\n");
    WriteConfig(1, "[SimConnect]\nProtocol=IPv6\n");
    EXPECT_EQ(Read().port, "300"); // a port known before the protocol keeps the registry out
    WriteConfig(0, "[SimConnect]\nAddress=::1\n");
    EXPECT_EQ(Read().port, "4712");
    // A value longer than 20 bytes is no value.
    WriteRegistryPort(true, std::string(25, '9'));
    EXPECT_EQ(Read().port, "");
}

TEST_F(SimConnectConfigTest, ConfigurationIndexSections) {
    WriteConfig(1, "[SimConnect.3]\nProtocol=IPv4\nPort=33\n");
    bool ok = false;
    SimConnectConfig c = Read(3, &ok);
    EXPECT_TRUE(ok);
    EXPECT_EQ(c.port, "33");
    Read(4, &ok);
    EXPECT_FALSE(ok);
    c = Read(0, &ok); // index 0 reads "SimConnect", which no file has: no failure
    EXPECT_TRUE(ok);
    EXPECT_EQ(c.port, "");
    WriteConfig(2, "[SimConnect]\nPort=44\n");
    c = Read(kNoConfigIndex, &ok); // the files are skipped entirely
    EXPECT_TRUE(ok);
    EXPECT_EQ(c.port, "");
    SimConnectHandle* handle = nullptr;
    EXPECT_EQ(SimConnect_Open(&handle, "x", nullptr, 0, nullptr, 4), kSimInvalidArg);
    EXPECT_TRUE(SimConnectClient().attempts.empty()); // nothing was tried
    EXPECT_EQ(ConfigSectionName(0), "SimConnect");
    EXPECT_EQ(ConfigSectionName(4294967294u), "SimConnect.4294967294");
}

TEST_F(SimConnectConfigTest, ConnectionOrderAndFallbacks) {
    std::string closed4 = ClosedPort(2);
    std::string closed6 = ClosedPort(23);
    auto order = [&](const std::string& file, const std::string& registry4, const std::string& registry6) {
        WriteConfig(2, "[SimConnect]\n" + file);
        DeleteUserRegistryKey(registryKey);
        if (!registry4.empty()) WriteRegistryPort(false, registry4);
        if (!registry6.empty()) WriteRegistryPort(true, registry6);
        return Attempts();
    };
    using L = std::vector<std::string>;
    const std::string pipe = DefaultPipe() + " failed", tcp4 = "tcp4 127.0.0.1 " + closed4 + " failed",
                      tcp6 = "tcp6 ::1 " + closed6 + " failed";
    // Nothing configured: the default pipe twice, no TCP; with both registry ports, IPv6 before IPv4.
    EXPECT_EQ(order("", "", ""), (L{pipe, pipe}));
    EXPECT_EQ(order("", closed4, closed6), (L{pipe, tcp6, tcp4, pipe}));
    // IPv4 without a port or address tries nothing; without a port at 127.0.0.1, the default pipe.
    EXPECT_EQ(order("Protocol=IPv4\n", "", ""), L{});
    EXPECT_EQ(order("Protocol=IPv4\nAddress=127.0.0.1\n", "", ""), L{pipe});
    // IPv4 at another address gets one attempt; IPv6 at ::1 falls back to IPv4 and the pipe.
    EXPECT_EQ(order("Protocol=IPv4\nAddress=127.0.0.2\nPort=" + closed4 + "\n", "", ""),
              L{"tcp4 127.0.0.2 " + closed4 + " failed"});
    EXPECT_EQ(order("Protocol=IPv6\nAddress=::1\nPort=" + closed6 + "\n", closed4, ""),
              (L{tcp6, tcp4, pipe}));
    // A named pipe port.
    EXPECT_EQ(order("Port=other-pipe\n", "", ""), (L{"pipe \\\\.\\pipe\\other-pipe failed", pipe}));
}

TEST_F(SimConnectConfigTest, TheFirstAttemptThatConnectsWins) {
    RunningStandIn standIn([](standin::Options& o) { o.port = 0; });
    ASSERT_TRUE(standIn.Started());
    WriteRegistryPort(false, std::to_string(standIn.s.boundPort));
    std::vector<std::string> attempts = Attempts(kSimOk);
    std::vector<std::string> expected = {DefaultPipe() + " failed",
                                         "tcp4 127.0.0.1 " + std::to_string(standIn.s.boundPort) + " ok"};
    EXPECT_EQ(attempts, expected);
}
