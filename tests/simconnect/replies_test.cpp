// What the stand-in sends, byte by byte, as the protocol lays it out: the reply to Open, client data, the
// exception and the quit notice; and the program's client taking both the full reply to Open and a short
// one without losing the messages behind it.
#include "platform/clock.h"
#include "simlink/client_data.h"
#include "tests/simconnect/harness.h"

#include <cstring>

namespace {
std::string Request(uint32_t id, uint32_t sendId, const std::string& fields) {
    return U32Bytes(static_cast<uint32_t>(16 + fields.size())) + U32Bytes(5) + U32Bytes(id) +
           U32Bytes(sendId) + fields;
}

std::string Name(const std::string& text) {
    std::string field = text;
    field.resize(256, '\0');
    return field;
}

// The replies of the stand-in to one raw client, cut at their size fields.
struct Replies {
    RawClient client;
    size_t taken = 0;
    // Waits for the next whole reply; empty when none came in time.
    std::string Next(int ms = 3000) {
        int64_t until = MonotonicNanos() + static_cast<int64_t>(ms) * 1000000;
        for (;;) {
            std::string all = client.Received();
            if (all.size() - taken >= 4) {
                uint32_t size = U32(all, taken);
                if (all.size() - taken >= size) {
                    std::string reply = all.substr(taken, size);
                    taken += size;
                    return reply;
                }
            }
            if (MonotonicNanos() > until) return std::string();
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }
};
} // namespace

TEST_F(SimConnectTest, StandInRepliesHaveTheProtocolsSizesAndFieldPlaces) {
    RunningStandIn standIn([](standin::Options& o) { o.port = 0; });
    ASSERT_TRUE(standIn.Started());
    Replies replies;
    ASSERT_TRUE(replies.client.ConnectTcp(2, "127.0.0.1", standIn.s.boundPort));

    // Open: the reply carries the application name and ten 32-bit fields after it.
    std::string openFields = Name("Raw") + U32Bytes(0) + std::string("\x00\x48\x4B\x00", 4) + U32Bytes(11) +
                             U32Bytes(0) + U32Bytes(62651) + U32Bytes(3);
    ASSERT_TRUE(replies.client.Send(Request(0xF0000001, 1, openFields)));
    std::string open = replies.Next();
    ASSERT_EQ(open.size(), 308u);
    EXPECT_EQ(U32(open, 0), 308u);
    EXPECT_EQ(U32(open, 8), 2u);
    EXPECT_EQ(std::string(open.c_str() + 12), "Talvero simulator stand-in");
    const uint32_t fields[10] = {11, 0, 62651, 3, 11, 0, 62651, 3, 0, 0};
    for (size_t i = 0; i < 10; ++i) EXPECT_EQ(U32(open, 268 + 4 * i), fields[i]) << "field " << i;

    // An area of 8 bytes asked for once at once: client data with its seven fields and the data at 40.
    ASSERT_TRUE(replies.client.Send(
        Request(0xF0000037, 2, Name("Area") + U32Bytes(9)) +
        Request(0xF0000039, 3,
                U32Bytes(6) + U32Bytes(0xFFFFFFFF) + U32Bytes(8) + U32Bytes(0) + U32Bytes(0xFFFFFFFF)) +
        Request(0xF0000038, 4, U32Bytes(9) + U32Bytes(8) + U32Bytes(0)) +
        Request(0xF000003C, 5,
                U32Bytes(9) + U32Bytes(6) + U32Bytes(0) + U32Bytes(0) + U32Bytes(8) + "ABCDEFGH") +
        Request(0xF000003B, 6,
                U32Bytes(9) + U32Bytes(77) + U32Bytes(6) + U32Bytes(1) + std::string(16, '\0'))));
    std::string data = replies.Next();
    ASSERT_EQ(data.size(), 48u);
    const std::vector<std::pair<size_t, uint32_t>> dataFields = {{0, 48}, {8, 16}, {12, 77}, {16, 0}, {20, 6},
                                                                 {24, 0}, {28, 1}, {32, 1},  {36, 1}};
    for (const auto& f : dataFields) EXPECT_EQ(U32(data, f.first), f.second) << "offset " << f.first;
    EXPECT_EQ(data.substr(40), "ABCDEFGH");

    // An area never named: an exception naming the request's send id and the field at fault.
    ASSERT_TRUE(replies.client.Send(Request(0xF0000038, 7, U32Bytes(42) + U32Bytes(8) + U32Bytes(0))));
    std::string exception = replies.Next();
    ASSERT_EQ(exception.size(), 24u);
    EXPECT_EQ(U32(exception, 8), 1u);
    EXPECT_EQ(U32(exception, 16), 7u);
    EXPECT_EQ(U32(exception, 20), 1u);

    // Stopping: the quit notice is the header alone.
    standIn.Stop();
    std::string quit = replies.Next();
    ASSERT_EQ(quit.size(), 12u);
    EXPECT_EQ(U32(quit, 8), 3u);
}

// The client reads the reply to Open as any message it does not use: the protocol's 308 bytes, the 300 of an
// older stand-in or a longer one, the client data behind it comes through whole.
TEST_F(SimConnectTest, TheClientTakesRepliesToOpenOfAnyLengthAndTheMessagesBehindThem) {
    for (uint32_t openSize : {308u, 300u, 320u}) {
        SCOPED_TRACE(openSize);
        RawServer server;
        ASSERT_TRUE(server.ListenTcp4());
        WriteConfig(2, "[SimConnect]\nProtocol=IPv4\nAddress=127.0.0.1\nPort=" + std::to_string(server.port) +
                           "\n");
        ASSERT_TRUE(OpenSimulatorLink());
        ASSERT_TRUE(server.Accept());
        std::string open = U32Bytes(openSize) + U32Bytes(5) + U32Bytes(2);
        open.resize(openSize, '\0');
        std::string record = ModuleRecordBytes(3, 23, "./data/FN320");
        std::string data = U32Bytes(40 + 560) + U32Bytes(5) + U32Bytes(16) + U32Bytes(1) + U32Bytes(0) +
                           U32Bytes(2) + U32Bytes(0) + U32Bytes(1) + U32Bytes(1) + U32Bytes(1) + record;
        ASSERT_TRUE(server.Send(open + data));
        std::vector<std::string> seen;
        ASSERT_TRUE(PumpUntil(SimLink().handle, SimLink().event, seen, [&] { return seen.size() >= 2; }));
        EXPECT_EQ(SimLink().handle->Reason(), static_cast<uint32_t>(kReasonNone));
        ASSERT_EQ(seen.size(), 2u);
        EXPECT_EQ(seen[0].size(), openSize);
        SimulatorMessage m = DecodeSimulatorMessage(reinterpret_cast<const uint8_t*>(seen[1].data()),
                                                    static_cast<uint32_t>(seen[1].size()));
        ASSERT_EQ(m.kind, SimulatorMessageKind::ModuleMessage);
        EXPECT_EQ(standin::DecodeRecord(m.data).text, "./data/FN320");
        ResetSimLink();
    }
}
