// The simulator client's test harness.
#include "tests/simconnect/harness.h"

#include "platform/clock.h"
#include "platform/known_folders.h"
#include "platform/profile.h"
#include "simlink/client_data.h"

#include <atomic>
#include <chrono>
#include <cstring>
#include <fstream>

std::string UniqueName(const std::string& stem) {
    static std::atomic<int> counter{0};
    auto stamp = std::chrono::steady_clock::now().time_since_epoch().count() % 100000000;
    return stem + "-" + std::to_string(stamp) + "-" + std::to_string(counter++);
}

void SimConnectTest::SetUp() {
    temp = std::make_unique<TempFolder>();
    temp->Make("all/x");
    temp->Make("user/x");
    temp->Make("cwd/x");
    temp->Make("config/x");
    OverrideConfigFolder(ConfigFolder::AllUsersDocuments, temp->path + "/all");
    OverrideConfigFolder(ConfigFolder::UserDocuments, temp->path + "/user");
    OverrideKnownFolder(KnownFolder::RoamingAppData, temp->path + "/config");
    working = std::make_unique<WorkingFolder>(temp->path + "/cwd");
    ResetSimConnectClient();
    pipeName = UniqueName("talvero-test");
    registryKey = "SOFTWARE\\Talvero\\Tests\\" + UniqueName("key");
    SimConnectClient().defaultPipeName = pipeName;
    SimConnectClient().registryKey = registryKey;
}

void SimConnectTest::TearDown() {
    ResetSimLink();
    DeleteUserRegistryKey(registryKey);
    working.reset();
    ResetConfigFolders();
    ResetKnownFolders();
    ResetSimConnectClient();
    temp.reset();
}

void SimConnectTest::WriteConfig(int folder, const std::string& text) {
    const char* names[] = {"all", "user", "cwd"};
    temp->Write(std::string(names[folder]) + "/SimConnect.cfg", text);
}

void SimConnectTest::WriteRegistryPort(bool ipv6, const std::string& port) {
    ASSERT_TRUE(
        WriteUserRegistryString(registryKey, ipv6 ? "SimConnect_Port_IPv6" : "SimConnect_Port_IPv4", port));
}

RunningStandIn::RunningStandIn(const std::function<void(standin::Options&)>& configure,
                               const std::vector<std::string>& scenario) {
    s.keepTranscript = true;
    s.options.quiet = true;
    s.options.pipe = false;
    configure(s.options);
    if (!scenario.empty()) {
        std::string error;
        if (!standin::ParseScenario(scenario, s.scenario, error)) {
            ADD_FAILURE() << error;
            return;
        }
    }
    thread = std::thread([this] { standin::Run(s); });
    for (int i = 0; i < 500 && !s.ready && s.failure.empty(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    started = s.ready;
    if (!started) ADD_FAILURE() << "stand-in did not start: " << s.failure;
}

RunningStandIn::~RunningStandIn() {
    Stop();
}

void RunningStandIn::Stop() {
    s.stop = true;
    if (thread.joinable()) thread.join();
}

bool RunningStandIn::WaitForLine(const std::string& text, int ms) {
    std::unique_lock<std::mutex> guard(s.transcriptLock);
    return s.transcriptChanged.wait_for(guard, std::chrono::milliseconds(ms), [&] {
        for (const std::string& line : s.transcript) {
            if (line.find(text) != std::string::npos) return true;
        }
        return false;
    });
}

std::vector<std::string> RunningStandIn::Lines() {
    std::lock_guard<std::mutex> guard(s.transcriptLock);
    return s.transcript;
}

std::vector<std::string> RunningStandIn::LogLines() {
    std::lock_guard<std::mutex> guard(s.transcriptLock);
    return s.logLines;
}

namespace {
void Collect(const uint8_t* message, uint32_t size, void* context) {
    static_cast<std::vector<std::string>*>(context)->push_back(
        std::string(reinterpret_cast<const char*>(message), size));
}
} // namespace

bool PumpUntil(SimConnectHandle* handle, SignalEvent* event, std::vector<std::string>& seen,
               const std::function<bool()>& done, int ms) {
    int64_t until = MonotonicNanos() + static_cast<int64_t>(ms) * 1000000;
    for (;;) {
        SimConnect_CallDispatch(handle, Collect, &seen);
        if (done()) return true;
        if (MonotonicNanos() >= until) return false;
        if (event)
            WaitSignalEvent(event, 20);
        else
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

uint32_t U32(const std::string& bytes, size_t at) {
    if (at + 4 > bytes.size()) return 0xDEADBEEF;
    const auto* p = reinterpret_cast<const uint8_t*>(bytes.data() + at);
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

std::string U32Bytes(uint32_t v) {
    std::string out(4, '\0');
    for (int i = 0; i < 4; ++i) out[static_cast<size_t>(i)] = static_cast<char>(v >> (8 * i));
    return out;
}

std::string ModuleRecordBytes(uint32_t sequence, uint32_t type, const std::string& text, double valueOut) {
    standin::ModuleRecord r;
    r.sequence = sequence;
    r.type = type;
    r.text = text;
    r.valueOut = valueOut;
    auto bytes = standin::EncodeRecord(r);
    return std::string(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

// ---- RawClient ----

void RawClient::OnIo(void* owner, bool isWrite, uint32_t status, uint32_t, size_t bytes) {
    auto* c = static_cast<RawClient*>(owner);
    // Everything under the lock, the notification included, so the destructor never races it.
    std::lock_guard<std::mutex> guard(c->lock);
    --c->pending;
    if (isWrite) {
        c->writeDone = true;
        c->writeFailed = status != 0;
    } else if (status == 0 && bytes > 0) {
        c->received.append(reinterpret_cast<const char*>(c->buffer), bytes);
        uint32_t error = 0;
        ++c->pending;
        if (!StartRead(c->transport, c->buffer, sizeof c->buffer, error)) {
            --c->pending;
            c->ended = true;
        }
    } else {
        c->ended = true;
    }
    c->changed.notify_all();
}

bool RawClient::Bind() {
    uint32_t error = 0;
    if (!BindTransport(transport, OnIo, this, error)) return false;
    std::lock_guard<std::mutex> guard(lock);
    ++pending;
    if (!StartRead(transport, buffer, sizeof buffer, error)) {
        --pending;
        return false;
    }
    return true;
}

bool RawClient::ConnectTcp(int family, const std::string& address, uint16_t port) {
    uint32_t error = 0;
    StartNetworking();
    transport = ::ConnectTcp(family, address, std::to_string(port), error);
    return transport && Bind();
}

bool RawClient::ConnectPipe(const std::string& fullName) {
    uint32_t error = 0;
    int waits = 0;
    transport = ::ConnectPipe(fullName, error, waits);
    return transport && Bind();
}

bool RawClient::Send(const std::string& bytes, int ms) {
    static std::string keep;
    std::unique_lock<std::mutex> guard(lock);
    keep = bytes;
    writeDone = false;
    ++pending;
    uint32_t error = 0;
    if (!StartWrite(transport, reinterpret_cast<const uint8_t*>(keep.data()), keep.size(), error)) {
        --pending;
        return false;
    }
    return changed.wait_for(guard, std::chrono::milliseconds(ms), [this] { return writeDone; }) &&
           !writeFailed;
}

bool RawClient::WaitEnded(int ms) {
    std::unique_lock<std::mutex> guard(lock);
    return changed.wait_for(guard, std::chrono::milliseconds(ms), [this] { return ended; });
}

std::string RawClient::Received() {
    std::lock_guard<std::mutex> guard(lock);
    return received;
}

RawClient::~RawClient() {
    if (!transport) return;
    TransportClose(transport);
    std::unique_lock<std::mutex> guard(lock);
    bool idle = changed.wait_for(guard, std::chrono::milliseconds(5000), [this] { return pending == 0; });
    guard.unlock();
    if (idle) TransportFree(transport); // else leak it rather than free it under a pending operation
    StopNetworking();
}

// ---- RawServer ----

RawServer::~RawServer() {
    CloseConnection(connection);
    CloseListener(listener);
}

bool RawServer::ListenTcp4() {
    std::string error;
    listener = ::ListenTcp(2, "127.0.0.1", 0, error);
    if (listener) port = ListenerPort(listener);
    return listener != nullptr;
}

bool RawServer::ListenPipe(const std::string& fullName) {
    std::string error;
    listener = ::ListenPipe(fullName, error);
    return listener != nullptr;
}

bool RawServer::Accept(int ms) {
    connection = AcceptConnection(listener, ms);
    return connection != nullptr;
}

std::string RawServer::Read(size_t count, int ms) {
    int64_t until = MonotonicNanos() + static_cast<int64_t>(ms) * 1000000;
    uint8_t chunk[8192];
    while (pending.size() < count && MonotonicNanos() < until) {
        long n = ReceiveSome(connection, chunk, sizeof chunk, 20);
        if (n < 0) break;
        pending.append(reinterpret_cast<const char*>(chunk), static_cast<size_t>(n));
    }
    size_t n = std::min(count, pending.size());
    std::string out = pending.substr(0, n);
    pending.erase(0, n);
    return out;
}

std::string RawServer::NextRequest(int ms) {
    std::string size = Read(4, ms);
    if (size.size() < 4) return std::string();
    // A size smaller than its own four bytes is returned as it came, for the test to fail on, rather than
    // read as a request of four billion bytes.
    const uint32_t total = U32(size, 0);
    return total < 4 ? size : size + Read(total - 4, ms);
}

bool RawServer::Send(const std::string& bytes) {
    return SendAll(connection, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}
