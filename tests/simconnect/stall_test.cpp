// A simulator that stops reading: the program keeps sending its DRF block every pass and a module
// message now and then; while nothing is read, only the newest DRF block waits, every module message keeps
// its place, and once the simulator reads again it gets all of them in order and the latest values.
#include "simlink/client_data.h"
#include "tests/simconnect/harness.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>

namespace {
enum class Via { Pipe, Tcp4 };

class StalledSimulator : public SimConnectTest, public ::testing::WithParamInterface<Via> {
protected:
    RawServer server;
};

double F64(const std::string& bytes, size_t at) {
    double v;
    std::memcpy(&v, bytes.data() + at, sizeof v);
    return v;
}
} // namespace

TEST_P(StalledSimulator, OnlyTheNewestDrfBlockWaitsAndModuleMessagesAllArriveInOrder) {
    if (GetParam() == Via::Pipe) {
        ASSERT_TRUE(server.ListenPipe("\\\\.\\pipe\\" + pipeName));
    } else {
        ASSERT_TRUE(server.ListenTcp4());
        WriteConfig(2, "[SimConnect]\nProtocol=IPv4\nAddress=127.0.0.1\nPort=" + std::to_string(server.port) +
                           "\n");
    }
    ASSERT_TRUE(OpenSimulatorLink());
    ASSERT_TRUE(server.Accept());

    // 60 s of passes without waiting for them, the server reading nothing: a DRF block every pass whose
    // value 0 counts the passes, a module message every 50th pass.
    const int passes = 3000, every = 50;
    double values[500] = {};
    uint64_t mostQueued = 0;
    for (int pass = 1; pass <= passes; ++pass) {
        if (pass % every == 0) {
            std::string record = ModuleRecordBytes(static_cast<uint32_t>(pass / every), 5, "code");
            ASSERT_EQ(SendModuleRecord(reinterpret_cast<const uint8_t*>(record.data())), kSimOk);
        }
        values[0] = pass;
        values[pass % 499 + 1] += 1.0;
        ASSERT_EQ(SendDrfE2W(values), kSimOk);
        mostQueued = std::max(mostQueued, SimLink().handle->QueuedSendBytes());
    }
    // What may wait: every module message, one DRF block, and the rest of the block being written.
    const uint64_t messages = passes / every;
    EXPECT_LE(mostQueued, messages * 596 + 2 * 4036);
    EXPECT_GT(SimLink().handle->supersededBlocks, 0u);

    // The simulator reads again: the set-up requests, then blocks in the order they were queued.
    std::vector<uint32_t> sequences;
    std::vector<double> drfPasses;
    double lastValues[500] = {};
    while (drfPasses.empty() || drfPasses.back() < passes) {
        std::string r = server.NextRequest();
        ASSERT_FALSE(r.empty()) << "the last DRF block never came; blocks seen " << drfPasses.size();
        if (U32(r, 8) != 0xF000003C) continue;
        if (U32(r, 16) == 2) {
            ASSERT_EQ(r.size(), 596u);
            sequences.push_back(U32(r, 36));
        } else if (U32(r, 16) == 5) {
            ASSERT_EQ(r.size(), 4036u);
            drfPasses.push_back(F64(r, 36));
            std::memcpy(lastValues, r.data() + 36, sizeof lastValues);
        }
    }
    ASSERT_EQ(sequences.size(), messages);
    for (size_t i = 0; i < sequences.size(); ++i) EXPECT_EQ(sequences[i], i + 1) << "message " << i;
    EXPECT_TRUE(std::is_sorted(drfPasses.begin(), drfPasses.end()));
    EXPECT_LT(drfPasses.size(), static_cast<size_t>(passes));
    EXPECT_EQ(std::memcmp(lastValues, values, sizeof values), 0);
    // Nothing waits any more once the last write has completed.
    for (int i = 0; i < 100 && SimLink().handle->QueuedSendBytes() > 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(SimLink().handle->QueuedSendBytes(), 0u);
}

INSTANTIATE_TEST_SUITE_P(Transports, StalledSimulator, ::testing::Values(Via::Pipe, Via::Tcp4),
                         [](const ::testing::TestParamInfo<Via>& info) {
                             return info.param == Via::Pipe ? "Pipe" : "Tcp4";
                         });
