// Opening and closing a simulator connection: the connection order over the pipe, IPv6 and IPv4 with its
// fallbacks, and the orderly close that waits for the I/O to finish.
#include "simlink/client/simconnect.h"

#include "platform/clock.h"

#include <algorithm>
#include <cstdio>

namespace {
void NoteAttempt(const std::string& text) {
    SimConnectClientState& s = SimConnectClient();
    std::lock_guard<std::mutex> guard(s.lock);
    s.attempts.push_back(text);
}

std::string PipeName(const std::string& address, const std::string& port) {
    std::string server = address.empty() ? "." : address;
    std::string name = port.empty() ? "\\\\" + server + "\\pipe\\" + SimConnectClient().defaultPipeName
                                    : "\\\\" + server + "\\pipe\\" + port;
    if (name.size() > 255) name.resize(255);
    return name;
}

// Gives the new client the connected transport; on failure the client is closed.
ClientClient* Adopt(Transport* transport, const SimConnectConfig& config, uint32_t& error) {
    ClientClient* client = new ClientClient;
    if (client->Attach(transport, config, error)) return client;
    {
        SimConnectClientState& s = SimConnectClient();
        std::lock_guard<std::mutex> guard(s.lock);
        s.clients.erase(std::remove(s.clients.begin(), s.clients.end(), client), s.clients.end());
        client->linked = false;
    }
    client->Disconnect(kReasonNone, 0);
    client->Release();
    return nullptr;
}

ClientClient* TryPipe(const std::string& address, const std::string& port, const SimConnectConfig& config) {
    std::string name = PipeName(address, port);
    uint32_t error = 0;
    int busyWaits = 0;
    Transport* transport = ConnectPipe(name, error, busyWaits);
    std::string note = "pipe " + name + (busyWaits > 0 ? " busy-waits " + std::to_string(busyWaits) : "");
    ClientClient* client = transport ? Adopt(transport, config, error) : nullptr;
    NoteAttempt(note + (client ? " ok" : " failed " + std::to_string(error)));
    return client;
}

ClientClient* TryTcp(int family, const std::string& address, const std::string& port, const SimConnectConfig& config) {
    uint32_t error = 0;
    Transport* transport = ConnectTcp(family, address, port, error);
    ClientClient* client = transport ? Adopt(transport, config, error) : nullptr;
    NoteAttempt((family == 23 ? "tcp6 " : "tcp4 ") + address + " " + port + (client ? " ok" : " failed " + std::to_string(error)));
    return client;
}

bool EnsureNetworking() {
    SimConnectClientState& s = SimConnectClient();
    if (s.networkingStarted) return true;
    if (!StartNetworking()) return false;
    s.networkingStarted = true;
    return true;
}

// The connection order; null when no attempt connected.
ClientClient* Connect(const SimConnectConfig& config) {
    std::string address = config.address;
    std::string port = config.port;
    uint32_t code = config.protocol;
    if (code == kProtocolPipe) {
        if (ClientClient* client = TryPipe(address, port, config)) return client;
        if (!address.empty() && address != ".") return nullptr;
        address = "::1";
        port = RegistryPort(config, true);
        code = kProtocolIPv6;
    }
    if (code == kProtocolIPv6) {
        if (!EnsureNetworking()) return nullptr;
        if (!port.empty()) {
            if (ClientClient* client = TryTcp(23, address, port, config)) return client;
        }
        if (address != "::1") return nullptr;
        address = "127.0.0.1";
        port = RegistryPort(config, false);
    }
    if (!EnsureNetworking()) return nullptr;
    if (!port.empty()) {
        if (ClientClient* client = TryTcp(2, address, port, config)) return client;
    }
    if (address != "127.0.0.1") return nullptr;
    return TryPipe(".", "", config);
}

void CloseClient(ClientClient* client) {
    {
        SimConnectClientState& s = SimConnectClient();
        std::lock_guard<std::mutex> guard(s.lock);
        if (client->linked) {
            s.clients.erase(std::remove(s.clients.begin(), s.clients.end(), client), s.clients.end());
            client->linked = false;
        }
    }
    client->ForgetNotifications();
    client->Disconnect(kReasonNone, 0);
    client->Release();
}
} // namespace

uint32_t SimConnect_Open(SimConnectHandle** handle, const char* name, void* window, uint32_t userMessage,
                         SignalEvent* event, uint32_t configIndex) {
    if (handle) *handle = nullptr;
    SimConnectConfig config;
    {
        SimConnectClientState& s = SimConnectClient();
        std::lock_guard<std::mutex> guard(s.lock);
        s.attempts.clear();
        config.registryKey = s.registryKey;
    }
    if (!ReadSimConnectConfig(configIndex, config)) return kSimInvalidArg;
    ClientClient* client = Connect(config);
    if (!client) return kSimFail;
    {
        std::lock_guard<std::mutex> guard(client->notifyLock);
        client->window = window;
        client->userMessage = userMessage;
        client->event = event;
    }
    client->dispatch = nullptr;
    uint32_t status = QueueOpenRequest(client, name);
    if (status != kSimOk) {
        CloseClient(client);
        return status == kSimStringTooLong ? status : kSimFail;
    }
    if (handle) *handle = client;
    else CloseClient(client);
    return kSimOk;
}

uint32_t SimConnect_Close(SimConnectHandle* handle) {
    if (!handle) return kSimFail;
    handle->Flush();
    SleepNanos(100 * 1000000LL);
    CloseClient(handle);
    SimConnectClientState& s = SimConnectClient();
    auto noClient = [&s] {
        std::lock_guard<std::mutex> guard(s.lock);
        return s.clients.empty();
    };
    if (noClient()) {
        // A client opened meanwhile (another thread) ends the wait, and networking stays up for it.
        for (int step = 0; step < 20 && s.liveTransports.load() > 0 && noClient(); ++step) SleepNanos(250 * 1000000LL);
        if (s.networkingStarted && noClient()) {
            StopNetworking();
            s.networkingStarted = false;
        }
    }
    return kSimOk;
}
