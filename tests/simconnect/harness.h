// Test harness for the simulator client: the stand-in on a thread, a raw client and a raw server for
// hand-built byte streams, and a fixture that keeps the client's folders, pipe names and registry key
// inside the test.
#pragma once
#include "platform/profile.h"
#include "platform/transport.h"
#include "platform/transport_server.h"
#include "simlink/client/simconnect.h"
#include "tests/fakes/test_support.h"
#include "tools/simstandin/standin.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// A name no other test or program uses, for pipes and registry keys.
std::string UniqueName(const std::string& stem);

// Every test of the client: SimConnect.cfg folders, the working folder, the default pipe name, the
// registry key (and on Linux the registry file's folder) all point into the test's own places; the
// program's simulator link is closed at the end.
class SimConnectTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    // Writes "SimConnect.cfg" into one of the three folders: 0 all users, 1 the user's, 2 the current one.
    void WriteConfig(int folder, const std::string& text);
    void WriteRegistryPort(bool ipv6, const std::string& port);
    std::unique_ptr<TempFolder> temp;
    std::unique_ptr<WorkingFolder> working;
    std::string pipeName; // the default pipe name for this test, without "\\.\pipe\"
    std::string registryKey;
};

// The stand-in running on its own thread until the object goes.
struct RunningStandIn {
    explicit RunningStandIn(const std::function<void(standin::Options&)>& configure,
                            const std::vector<std::string>& scenario = {});
    ~RunningStandIn();
    bool Started() const { return started; }
    // Waits (at most `ms`) for a transcript line containing `text`; true when one is there.
    bool WaitForLine(const std::string& text, int ms = 5000);
    std::vector<std::string> Lines();
    std::vector<std::string> LogLines();
    // Stops the stand-in and waits for its thread.
    void Stop();
    standin::StandIn s;
    std::thread thread;
    bool started = false;
};

// Calls dispatch until `done` says so or `ms` pass; the messages go to `seen` as whole byte strings.
bool PumpUntil(SimConnectHandle* handle, SignalEvent* event, std::vector<std::string>& seen,
               const std::function<bool()>& done, int ms = 5000);
uint32_t U32(const std::string& bytes, size_t at);
std::string U32Bytes(uint32_t v);
std::string ModuleRecordBytes(uint32_t sequence, uint32_t type, const std::string& text,
                              double valueOut = -1.0);

// A connection that sends hand-built bytes and collects what comes back.
struct RawClient {
    ~RawClient();
    bool ConnectTcp(int family, const std::string& address, uint16_t port);
    bool ConnectPipe(const std::string& fullName);
    bool Send(const std::string& bytes, int ms = 3000);
    // Waits until the other side has ended the connection.
    bool WaitEnded(int ms = 3000);
    std::string Received();
    static void OnIo(void* owner, bool isWrite, uint32_t status, uint32_t error, size_t bytes);
    bool Bind();
    Transport* transport = nullptr;
    std::mutex lock;
    std::condition_variable changed;
    std::string received;
    bool ended = false;
    bool writeDone = false;
    bool writeFailed = false;
    int pending = 0;
    uint8_t buffer[4096];
};

// A listener that the client connects to, served by the test itself.
struct RawServer {
    ~RawServer();
    bool ListenTcp4();
    bool ListenPipe(const std::string& fullName);
    bool Accept(int ms = 3000);
    // Reads until `count` bytes have come (or `ms` pass).
    std::string Read(size_t count, int ms = 3000);
    // The next request off the wire, whole; empty when none came.
    std::string NextRequest(int ms = 5000);
    bool Send(const std::string& bytes);
    ServerListener* listener = nullptr;
    ServerConnection* connection = nullptr;
    uint16_t port = 0;
    std::string pending;
};
