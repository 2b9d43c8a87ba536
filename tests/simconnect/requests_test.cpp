// The bytes each request puts on the wire, read by a raw server the client connects to: header, send ids,
// fields, the string rules and the build buffer's limits; and the drops a server can cause.
#include "tests/simconnect/harness.h"

#include <cstring>

namespace {
class SimConnectWire : public SimConnectTest {
protected:
    // Connects a client to the raw server over IPv4 and takes the Open request off the wire.
    void Connect() {
        Listen();
        ASSERT_EQ(SimConnect_Open(&handle, "Wire Test", nullptr, 0, nullptr, 0), kSimOk);
        ASSERT_NE(handle, nullptr);
        ASSERT_TRUE(server.Accept());
        open = server.Read(296);
    }
    void Listen() {
        ASSERT_TRUE(server.ListenTcp4());
        WriteConfig(2, "[SimConnect]\nProtocol=IPv4\nAddress=127.0.0.1\nPort=" + std::to_string(server.port) +
                           "\n");
    }
    void TearDown() override {
        if (handle) SimConnect_Close(handle);
        SimConnectTest::TearDown();
    }
    RawServer server;
    SimConnectHandle* handle = nullptr;
    std::string open;
};

float F32(const std::string& bytes, size_t at) {
    uint32_t bits = U32(bytes, at);
    float v;
    std::memcpy(&v, &bits, sizeof v);
    return v;
}
} // namespace

TEST_F(SimConnectWire, OpenRequestLayout) {
    Connect();
    ASSERT_EQ(open.size(), 296u);
    const std::pair<size_t, uint32_t> fields[] = {{0, 296},  {4, 5},   {8, 0xF0000001}, {12, 1}, {272, 0},
                                                  {280, 11}, {284, 0}, {288, 62651},    {292, 3}};
    for (auto [at, v] : fields) EXPECT_EQ(U32(open, at), v) << "offset " << at;
    EXPECT_EQ(std::string(open.c_str() + 16), "Wire Test");
    EXPECT_EQ(open.substr(16 + 9, 256 - 9), std::string(256 - 9, '\0'));
    EXPECT_EQ(open.substr(276, 4), std::string("\x00\x48\x4B\x00", 4));
}

TEST_F(SimConnectWire, EachRequestHasItsLayoutAndTheNextSendId) {
    Connect();
    uint8_t data[4000];
    for (size_t i = 0; i < sizeof data; ++i) data[i] = static_cast<uint8_t>(i * 7);
    // Each request is queued on its own and carries the next send id.
    uint32_t sendId = 1;
    auto request = [&](uint32_t status, uint32_t size, uint32_t id,
                       const std::vector<std::pair<size_t, uint32_t>>& fields) {
        EXPECT_EQ(status, kSimOk);
        EXPECT_EQ(handle->buildPosition, 0u);
        std::string r = server.NextRequest();
        EXPECT_EQ(r.size(), size);
        EXPECT_EQ(U32(r, 0), size);
        EXPECT_EQ(U32(r, 4), 5u);
        EXPECT_EQ(U32(r, 8), id);
        EXPECT_EQ(U32(r, 12), ++sendId);
        for (auto [at, v] : fields) EXPECT_EQ(U32(r, at), v) << "offset " << at;
        return r;
    };
    std::string r =
        request(SimConnect_MapClientDataNameToID(handle, "MessageW2E", 3), 276, 0xF0000037, {{272, 3}});
    EXPECT_EQ(std::string(r.c_str() + 16), "MessageW2E");
    request(SimConnect_CreateClientData(handle, 4, 4000, 0), 28, 0xF0000038, {{16, 4}, {20, 4000}, {24, 0}});
    r = request(SimConnect_AddToClientDataDefinition(handle, 3, 0xFFFFFFFF, 4000, 0.5f, 0xFFFFFFFF), 36,
                0xF0000039, {{16, 3}, {20, 0xFFFFFFFF}, {24, 4000}, {32, 0xFFFFFFFF}});
    EXPECT_EQ(F32(r, 28), 0.5f);
    request(SimConnect_ClearClientDataDefinition(handle, 1), 20, 0xF000003A, {{16, 1}});
    request(SimConnect_RequestClientData(handle, 3, 1, 2, 3, 4, 5, 6, 7), 48, 0xF000003B,
            {{16, 3}, {20, 1}, {24, 2}, {28, 3}, {32, 4}, {36, 5}, {40, 6}, {44, 7}});
    r = request(SimConnect_SetClientData(handle, 5, 4, 1, 9, 4000, data), 4036, 0xF000003C,
                {{16, 5}, {20, 4}, {24, 1}, {28, 9}, {32, 4000}});
    EXPECT_EQ(r.substr(36), std::string(reinterpret_cast<const char*>(data), 4000));
}

TEST_F(SimConnectWire, NamesOf255CharactersFitAndLongerOnesFail) {
    Connect();
    std::string fits(255, 'n');
    std::string tooLong(256, 'n');
    ASSERT_EQ(SimConnect_MapClientDataNameToID(handle, fits.c_str(), 7), kSimOk);
    std::string r = server.NextRequest();
    ASSERT_EQ(r.size(), 276u);
    EXPECT_EQ(r.substr(16, 256), fits + '\0');
    EXPECT_EQ(U32(r, 12), 2u);

    std::vector<uint8_t> before = handle->build;
    EXPECT_EQ(SimConnect_MapClientDataNameToID(handle, tooLong.c_str(), 8), kSimStringTooLong);
    EXPECT_EQ(handle->buildPosition, 0u);
    EXPECT_EQ(handle->build, before);
    EXPECT_EQ(handle->sendCount, 0u);

    // A null name leaves the field empty. The refused request used up send id 3.
    ASSERT_EQ(SimConnect_MapClientDataNameToID(handle, nullptr, 9), kSimOk);
    r = server.NextRequest();
    EXPECT_EQ(r.substr(16, 256), std::string(256, '\0'));
    EXPECT_EQ(U32(r, 12), 4u);
}

TEST_F(SimConnectWire, OpenWithATooLongNameFailsAndClosesTheClient) {
    Listen();
    std::string tooLong(256, 'n');
    SimConnectHandle* h = reinterpret_cast<SimConnectHandle*>(1);
    EXPECT_EQ(SimConnect_Open(&h, tooLong.c_str(), nullptr, 0, nullptr, 0), kSimStringTooLong);
    EXPECT_EQ(h, nullptr);
    EXPECT_TRUE(SimConnectClient().clients.empty());
}

TEST_F(SimConnectWire, ARequestLargerThanTheBuildBufferIsRefusedWhole) {
    Connect();
    std::vector<uint8_t> big(kBuildBufferSize, 1);
    EXPECT_EQ(SimConnect_SetClientData(handle, 5, 4, 0, 0, kBuildBufferSize - 35, big.data()),
              kSimInvalidArg);
    EXPECT_EQ(handle->buildPosition, 0u);
    // The largest that fits still goes.
    ASSERT_EQ(SimConnect_SetClientData(handle, 5, 4, 0, 0, kBuildBufferSize - 36, big.data()), kSimOk);
    EXPECT_EQ(server.NextRequest().size(), kBuildBufferSize);
}

TEST_F(SimConnectWire, TheServerGoingAwayIsRecordedAndReported) {
    Connect();
    CloseConnection(server.connection);
    server.connection = nullptr;
    std::vector<std::string> seen;
    ASSERT_TRUE(PumpUntil(handle, nullptr, seen, [&] { return handle->Reason() != kReasonNone; }));
    // An orderly TCP end is a completion with 0 bytes.
    EXPECT_EQ(handle->Reason(), static_cast<uint32_t>(kReasonZeroBytes));
    EXPECT_EQ(SimConnect_CallDispatch(
                  handle, [](const uint8_t*, uint32_t, void*) {}, nullptr),
              0xC000013Eu);
    EXPECT_EQ(SimConnect_ClearClientDataDefinition(handle, 1), 0xC000013Eu);
}
