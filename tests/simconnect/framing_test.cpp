// The client's framing of received bytes, fed as hand-built byte streams into a client without a
// connection: message cutting by the size field, buffer growth and compaction, and the drops for sizes
// that cannot be right.
#include "tests/simconnect/harness.h"

namespace {
std::string Message(uint32_t size, uint32_t id, char fill = 'x') {
    std::string m = U32Bytes(size);
    if (size >= 8) m += U32Bytes(5);
    if (size >= 12) m += U32Bytes(id);
    while (m.size() < size) m += fill;
    return m.substr(0, std::max<size_t>(size, 4));
}

struct BareClient {
    BareClient() {
        client = new ClientClient;
        client->receive.assign(kReceiveStep, 0);
        client->state = kStateOpen;
    }
    ~BareClient() {
        client->Disconnect(kReasonNone, 0);
        client->Release();
    }
    void Feed(const std::string& bytes, size_t chunk) {
        for (size_t at = 0; at < bytes.size(); at += chunk) {
            std::string part = bytes.substr(at, chunk);
            client->ReceiveBytes(reinterpret_cast<const uint8_t*>(part.data()), part.size());
        }
    }
    std::vector<std::string> Dispatch(uint32_t* status = nullptr) {
        std::vector<std::string> seen;
        uint32_t rc = SimConnect_CallDispatch(
            client,
            [](const uint8_t* m, uint32_t size, void* context) {
                static_cast<std::vector<std::string>*>(context)->push_back(
                    std::string(reinterpret_cast<const char*>(m), size));
            },
            &seen);
        if (status) *status = rc;
        return seen;
    }
    ClientClient* client;
};
} // namespace

TEST(SimConnectFraming, MessagesAreCutWhateverTheChunking) {
    std::string stream = Message(12, 3) + Message(300, 16, 'a') + Message(5000, 16, 'b') + Message(20, 2);
    for (size_t chunk : {stream.size(), size_t{1}, size_t{7}, size_t{2048}, size_t{2049}}) {
        SCOPED_TRACE("chunk " + std::to_string(chunk));
        BareClient bare;
        bare.Feed(stream, chunk);
        uint32_t status = 1;
        std::vector<std::string> seen = bare.Dispatch(&status);
        EXPECT_EQ(status, kSimOk);
        EXPECT_EQ(seen, (std::vector<std::string>{Message(12, 3), Message(300, 16, 'a'),
                                                  Message(5000, 16, 'b'), Message(20, 2)}));
        // The buffer grew in 2048-byte steps, just enough for the largest message.
        EXPECT_EQ(bare.client->receive.size() % kReceiveStep, 0u);
        EXPECT_LE(bare.client->receive.size(), 6144u);
        EXPECT_EQ(bare.client->readPosition, 0u);
        EXPECT_EQ(bare.client->writePosition, 0u);
    }
}

TEST(SimConnectFraming, ShortMessagesAreCutButNotDispatched) {
    BareClient bare;
    bare.Feed(Message(4, 0) + Message(8, 0) + Message(11, 7) + Message(12, 3), 64);
    std::vector<std::string> seen = bare.Dispatch();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(U32(seen[0], 8), 3u);
}

TEST(SimConnectFraming, ImpossibleSizesDropTheConnection) {
    struct Case {
        const char* name;
        uint32_t size;
        uint32_t maxReceive;
        uint32_t reason;
    };
    const Case cases[] = {
        {"size field 3", 3, kDefaultMaxReceiveSize, kReasonTooSmall},
        {"size field 0", 0, kDefaultMaxReceiveSize, kReasonTooSmall},
        {"one past MaxReceiveSize", kDefaultMaxReceiveSize + 1, kDefaultMaxReceiveSize, kReasonTooLarge},
        {"past 1 MiB with a larger MaxReceiveSize", kReceiveLimit + 1, 0x200000, kReasonTooLarge},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        BareClient bare;
        bare.client->maxReceiveSize = c.maxReceive;
        bare.Feed(Message(12, 2) + U32Bytes(c.size) + std::string(40, 'z') + Message(12, 3), 4096);
        uint32_t status = 0;
        std::vector<std::string> seen = bare.Dispatch(&status);
        // What came before the bad size is still delivered; nothing after it.
        ASSERT_EQ(seen.size(), 1u);
        EXPECT_EQ(U32(seen[0], 8), 2u);
        EXPECT_EQ(bare.client->Reason(), c.reason);
        EXPECT_EQ(status, kSimAbort);
        EXPECT_EQ(bare.client->State(), static_cast<uint32_t>(kStateClosed));
        EXPECT_TRUE(SimConnectClient().connectionFailed.load());
    }
}

TEST(SimConnectFraming, LargestAllowedMessageIsAccepted) {
    BareClient bare;
    bare.Feed(Message(kDefaultMaxReceiveSize, 16, 'q'), 1000);
    std::vector<std::string> seen = bare.Dispatch();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].size(), kDefaultMaxReceiveSize);
    EXPECT_EQ(bare.client->Reason(), static_cast<uint32_t>(kReasonNone));
}

TEST(SimConnectFraming, UnreadBytesMoveToTheStartWhenTheBufferFills) {
    BareClient bare;
    // 2000 bytes of messages, then one of 1000 that crosses the end of the 2048-byte buffer.
    std::string stream = Message(1000, 16, 'a') + Message(1000, 16, 'b') + Message(1000, 16, 'c');
    bare.Feed(stream, 2048);
    std::vector<std::string> seen = bare.Dispatch();
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_EQ(seen[2], Message(1000, 16, 'c'));
    EXPECT_EQ(bare.client->receive.size(), kReceiveStep); // compacted, not grown
}

TEST(SimConnectFraming, AfterADropRequestsReturnTheRecordedStatusAndQueueNothing) {
    BareClient bare;
    bare.Feed(U32Bytes(3), 4);
    uint32_t sendCounter = bare.client->sendCounter;
    uint8_t data[560] = {};
    EXPECT_EQ(SimConnect_MapClientDataNameToID(bare.client, "MessageE2W", 2), kSimAbort);
    EXPECT_EQ(SimConnect_CreateClientData(bare.client, 2, 560, 0), kSimAbort);
    EXPECT_EQ(SimConnect_AddToClientDataDefinition(bare.client, 1, 0xFFFFFFFF, 560, 0.0f, 0xFFFFFFFF),
              kSimAbort);
    EXPECT_EQ(SimConnect_RequestClientData(bare.client, 3, 1, 2, 3, 0, 0, 0, 0), kSimAbort);
    EXPECT_EQ(SimConnect_SetClientData(bare.client, 2, 1, 0, 0, 560, data), kSimAbort);
    EXPECT_EQ(SimConnect_ClearClientDataDefinition(bare.client, 1), kSimAbort);
    EXPECT_EQ(bare.client->buildPosition, 0u);
    EXPECT_EQ(bare.client->sendCounter, sendCounter);
    EXPECT_EQ(bare.client->sendCount, 0u);
    EXPECT_EQ(SimConnect_CallDispatch(bare.client, nullptr, nullptr), kSimFail); // no callback at all
}

TEST(SimConnectFraming, RequestsWithoutAClientFail) {
    EXPECT_EQ(SimConnect_MapClientDataNameToID(nullptr, "x", 1), kSimFail);
    EXPECT_EQ(SimConnect_SetClientData(nullptr, 1, 1, 0, 0, 0, nullptr), kSimFail);
    EXPECT_EQ(SimConnect_CallDispatch(nullptr, nullptr, nullptr), kSimFail);
    EXPECT_EQ(SimConnect_Close(nullptr), kSimFail);
}
