// Benchmark of the simulator link against the stand-in, over TCP and over the pipe (its Unix-socket
// stand-in on Linux): the round trip of a 560-byte module message (a pose request answered by the
// module's acknowledgement) and the throughput of 4036-byte SetClientData requests (DrfE2W); and what
// waits to be sent after 60 s of a simulator that stops reading (a peer that accepts and never reads), the
// 3000 passes of those 60 s run without waiting for the clock: each sends the DRF block with changed
// values, every 50th a module message too, as the main loop does, and the next pass comes as soon as the
// connection has taken what it can (nothing moved for 1 ms); the figure is read once the sending has
// settled. It is given with the program's bound (only the
// newest DRF block waits) and, for comparison, with every block kept.
//
// The stand-in's engine is compiled in here so that it runs on a thread of this program.
#include "tools/simstandin/captain.cpp"
#include "tools/simstandin/module.cpp"
#include "tools/simstandin/options.cpp"
#include "tools/simstandin/scenario.cpp"
#include "tools/simstandin/standin.cpp"

#include "platform/clock.h"
#include "platform/profile.h"
#include "platform/transport_server.h"
#include "simlink/client_data.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

namespace {
struct Waiting {
    uint32_t sequence;
    bool answered;
};

void OnMessage(const SimulatorMessage& m, void* context) {
    auto* w = static_cast<Waiting*>(context);
    if (m.kind != SimulatorMessageKind::ModuleMessage) return;
    standin::ModuleRecord r = standin::DecodeRecord(m.data);
    if (r.type == 8 && r.sequence == w->sequence) w->answered = true;
}

// Sends a pose request and dispatches until its acknowledgement; false after 2 s without one.
bool RoundTrip(uint32_t sequence) {
    standin::ModuleRecord pose;
    pose.sequence = sequence;
    pose.type = 7;
    pose.text = "Bench";
    auto bytes = standin::EncodeRecord(pose);
    SendModuleRecord(bytes.data());
    Waiting waiting{sequence, false};
    int64_t until = MonotonicNanos() + 2000000000LL;
    while (!waiting.answered) {
        DispatchSimulator(OnMessage, &waiting);
        if (waiting.answered) break;
        if (MonotonicNanos() > until) return false;
        WaitSignalEvent(SimLink().event, 100);
    }
    return true;
}

double Percentile(std::vector<double> values, double p) {
    std::sort(values.begin(), values.end());
    size_t i = static_cast<size_t>(p * static_cast<double>(values.size() - 1) + 0.5);
    return values[std::min(i, values.size() - 1)];
}

void Measure(const std::string& name) {
    if (!OpenSimulatorLink()) {
        std::printf("bench %s: not connected\n", name.c_str());
        return;
    }
    uint32_t sequence = 0;
    for (int i = 0; i < 200; ++i) RoundTrip(sequence++);
    std::vector<double> trips;
    for (int i = 0; i < 2000; ++i) {
        int64_t start = MonotonicNanos();
        if (!RoundTrip(sequence++)) break;
        trips.push_back(static_cast<double>(MonotonicNanos() - start) / 1000.0);
    }
    if (!trips.empty()) {
        std::printf("bench %s: round trip median = %.1f us\n", name.c_str(), Percentile(trips, 0.5));
        std::printf("bench %s: round trip p99 = %.1f us\n", name.c_str(), Percentile(trips, 0.99));
    }

    // Batches of DrfE2W blocks, each batch closed by a round trip so that the stand-in has taken them all;
    // every block is kept, so that the figure counts blocks that went out.
    SimLink().handle->latestOnly.clear();
    std::vector<double> values(500, 0.0);
    std::vector<double> rates;
    const int batch = 500;
    for (int b = 0; b < 22; ++b) {
        int64_t start = MonotonicNanos();
        for (int i = 0; i < batch; ++i) {
            values[static_cast<size_t>(i % 500)] += 1.0;
            SendDrfE2W(values.data());
        }
        if (!RoundTrip(sequence++)) break;
        double seconds = static_cast<double>(MonotonicNanos() - start) / 1e9;
        if (b >= 2) rates.push_back(batch * 4036.0 / seconds / 1e6); // the first two warm up
    }
    if (!rates.empty()) {
        std::printf("bench %s: SetClientData 4036 B throughput median = %.1f MB/s\n", name.c_str(),
                    Percentile(rates, 0.5));
        std::printf("bench %s: SetClientData 4036 B throughput p99 (slowest batches) = %.1f MB/s\n",
                    name.c_str(), Percentile(rates, 0.01));
        std::printf("bench %s: SetClientData 4036 B rate median = %.0f requests/s\n", name.c_str(),
                    Percentile(rates, 0.5) * 1e6 / 4036.0);
    }
    CloseSimulatorLink(true);
}
// Bytes waiting to be sent after 3000 passes against a peer that reads nothing.
uint64_t QueuedAfterStall(bool bounded) {
    std::string error;
    ServerListener* listener = ListenTcp(2, "127.0.0.1", 0, error);
    if (!listener) return 0;
    std::ofstream("SimConnect.cfg") << "[SimConnect]\nProtocol=IPv4\nAddress=127.0.0.1\nPort="
                                    << ListenerPort(listener) << "\n";
    uint64_t queued = 0;
    ServerConnection* connection = nullptr;
    if (OpenSimulatorLink() && (connection = AcceptConnection(listener, 3000)) != nullptr) {
        if (!bounded) SimLink().handle->latestOnly.clear();
        std::vector<double> values(500, 0.0);
        for (int pass = 1; pass <= 3000; ++pass) {
            if (pass % 50 == 0) {
                standin::ModuleRecord code;
                code.sequence = static_cast<uint32_t>(pass);
                code.type = 5;
                code.text = "1 (>L:TVO_BENCH)";
                auto bytes = standin::EncodeRecord(code);
                SendModuleRecord(bytes.data());
            }
            values[0] = pass;
            SendDrfE2W(values.data());
            // Between passes the connection takes what it still can: once nothing moves for 1 ms (the
            // socket's buffers are full) the next pass comes, without the rest of the 20 ms.
            uint64_t last = SimLink().handle->QueuedSendBytes();
            int64_t quietSince = MonotonicNanos();
            while (last != 0 && MonotonicNanos() - quietSince < 1000000) {
                std::this_thread::yield();
                uint64_t now = SimLink().handle->QueuedSendBytes();
                if (now != last) {
                    last = now;
                    quietSince = MonotonicNanos();
                }
            }
        }
        // Settled: the figure no longer falls (the socket's buffers have taken what they can).
        for (int i = 0; i < 100; ++i) {
            queued = SimLink().handle->QueuedSendBytes();
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            if (SimLink().handle->QueuedSendBytes() == queued) break;
        }
    }
    CloseSimulatorLink(false);
    if (connection) CloseConnection(connection);
    CloseListener(listener);
    std::remove("SimConnect.cfg");
    return queued;
}
} // namespace

int main() {
    namespace fs = std::filesystem;
    fs::path folder =
        fs::temp_directory_path() / ("talvero-bench-" + std::to_string(MonotonicNanos() % 100000000));
    fs::create_directories(folder);
    fs::path previous = fs::current_path();
    fs::current_path(folder);
    OverrideConfigFolder(ConfigFolder::AllUsersDocuments, std::nullopt);
    OverrideConfigFolder(ConfigFolder::UserDocuments, std::nullopt);
    std::string pipe = "talvero-bench-" + std::to_string(MonotonicNanos() % 100000000);
    SimConnectClient().defaultPipeName = pipe;

    standin::StandIn standIn;
    standIn.options.quiet = true;
    standIn.options.pipe = true;
    standIn.options.pipeName = pipe;
    standIn.options.port = 0;
    standIn.options.poseTime = 0;
    std::thread server([&] { standin::Run(standIn); });
    for (int i = 0; i < 500 && !standIn.ready && standIn.failure.empty(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (standIn.ready) {
        std::ofstream(folder / "SimConnect.cfg")
            << "[SimConnect]\nProtocol=IPv4\nAddress=127.0.0.1\nPort=" << standIn.boundPort
            << "\nDisableNagle=1\n";
        Measure("simconnect-tcp");
        fs::remove(folder / "SimConnect.cfg");
        Measure("simconnect-pipe");
        std::printf("bench simconnect: queued bytes after 60 s stalled = %llu bytes\n",
                    static_cast<unsigned long long>(QueuedAfterStall(true)));
        std::printf("bench simconnect: queued bytes after 60 s stalled, every block kept = %llu bytes\n",
                    static_cast<unsigned long long>(QueuedAfterStall(false)));
    } else {
        std::printf("bench simconnect: stand-in did not start: %s\n", standIn.failure.c_str());
    }
    standIn.stop = true;
    server.join();
    fs::current_path(previous);
    std::error_code ec;
    fs::remove_all(folder, ec);
    return 0;
}
