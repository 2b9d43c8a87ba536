// The module message record on the wire, the message counter, and the outgoing queue's pump and
// acknowledgement rule.
#include "base/log.h"
#include "simlink/module_protocol.h"
#include "tests/fakes/test_support.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>

namespace {
struct Written {
    uint32_t clientDataId;
    uint32_t definitionId;
    std::string bytes;
};
std::vector<Written> written;

void Record(uint32_t clientDataId, uint32_t definitionId, const void* data, uint32_t size) {
    written.push_back({clientDataId, definitionId, std::string(static_cast<const char*>(data), size)});
}

uint32_t U32At(const std::string& b, size_t at) {
    uint32_t v;
    std::memcpy(&v, b.data() + at, 4);
    return v;
}
double F64At(const std::string& b, size_t at) {
    double v;
    std::memcpy(&v, b.data() + at, 8);
    return v;
}

struct ModuleProtocolTest : ::testing::Test {
    TempFolder folder;
    void SetUp() override {
        ResetLog();
        Log().log.path = folder.Make("data/log.txt");
        ModuleProtocol().sender = ModuleSender{Record};
        ResetModuleProtocol();
        written.clear();
    }
    void TearDown() override {
        ModuleProtocol().sender = ModuleSender{};
        ResetModuleProtocol();
        ResetLog();
    }
    static std::vector<uint32_t> WrittenTypes() {
        std::vector<uint32_t> types;
        for (const Written& w : written) types.push_back(U32At(w.bytes, 4));
        return types;
    }
};

TEST_F(ModuleProtocolTest, RecordBytesAreTheWireLayout) {
    QueueModuleMessage(kMsgPose, "work_seat", 2.5);
    PumpOutgoingMessages();
    ASSERT_EQ(written.size(), 1u);
    EXPECT_EQ(written[0].clientDataId, 2u);
    EXPECT_EQ(written[0].definitionId, 1u);
    const std::string& b = written[0].bytes;
    ASSERT_EQ(b.size(), 560u);
    EXPECT_EQ(U32At(b, 0), 0u) << "the counter starts at -1, so the first message is number 0";
    EXPECT_EQ(U32At(b, 4), 7u);
    for (size_t at : {8u, 12u, 16u}) EXPECT_EQ(U32At(b, at), 0xFFFFFFFFu) << "index at " << at;
    EXPECT_EQ(U32At(b, 20), 0u);
    EXPECT_EQ(F64At(b, 24), 2.5);
    EXPECT_EQ(F64At(b, 32), -1.0);
    EXPECT_EQ(std::string(b.data() + 40), "work_seat");
    EXPECT_EQ(b.find_first_not_of('\0', 40 + 9), 552u) << "text field zero after the text";
    EXPECT_EQ(b[552], 1) << "sent";
    EXPECT_EQ(b[553], 0) << "a pose waits for its acknowledgement";
    EXPECT_EQ(b.substr(554), std::string(6, '\0'));
}

TEST_F(ModuleProtocolTest, CounterNumbersEveryBuiltMessageAndTheAircraftRequestStandsApart) {
    ModuleMessage a = BuildModuleMessage(kMsgCode);
    QueueCodeText("0 (>L:TVO_CLIPBOARD)");
    ModuleMessage c = BuildModuleMessage(kMsgLiveAnimation);
    EXPECT_EQ(a.sequence, 0u);
    EXPECT_EQ(ModuleProtocol().outgoing.back().sequence, 1u);
    EXPECT_EQ(ModuleProtocol().outgoing.back().valueOut, 0.0) << "code text carries value out 0";
    EXPECT_EQ(c.sequence, 2u);
    EXPECT_EQ(c.valueOut, -1.0);

    SendAircraftRequest();
    ASSERT_EQ(written.size(), 1u);
    EXPECT_EQ(U32At(written[0].bytes, 0), 0xFFFFFFFFu);
    EXPECT_EQ(BuildModuleMessage(kMsgCode).sequence, 3u) << "the request takes no number from the counter";
    EXPECT_EQ(ModuleProtocol().outgoing.size(), 1u) << "and does not pass through the queue";
}

TEST_F(ModuleProtocolTest, TextIsCutToTheFieldAndStopsAtTheCallersNul) {
    struct Case {
        std::string text;
        std::string stored;
    } cases[] = {
        {"", ""},
        {std::string(511, 'a'), std::string(511, 'a')},
        {std::string(512, 'b'), std::string(511, 'b')},
        {std::string(5000, 'c'), std::string(511, 'c')},
        {std::string("ab\0cd", 5), "ab"},
    };
    for (const Case& c : cases) {
        ModuleMessage m = BuildModuleMessage(kMsgCode, c.text);
        EXPECT_EQ(MessageText(m), c.stored) << c.text.size();
        EXPECT_EQ(m.text[511], '\0');
        EXPECT_EQ(m.sent, 0);
    }
}

TEST_F(ModuleProtocolTest, NoAckSetIsExactlyTheDocumentedTypes) {
    const std::set<uint32_t> noAck = {5, 9, 10, 15, 20, 21, 24, 26, 36};
    for (uint32_t type = 0; type <= 45; ++type) EXPECT_EQ(IsNoAckType(type), noAck.count(type) == 1) << type;
}

TEST_F(ModuleProtocolTest, PoseBlocksTheQueueUntilItsOwnAcknowledgement) {
    QueueModuleMessage(msgtype_SPEECHSTART, "msgtype_SPEECHSTART");
    QueueModuleMessage(kMsgPose, "work_flaps", 1.0);
    QueueModuleMessage(msgtype_SPEECHSTOP, "msgtype_SPEECHSTOP");
    const uint32_t poseSequence = 1;

    PumpOutgoingMessages(); // pass 1: speech start written, done at once
    EXPECT_EQ(WrittenTypes(), (std::vector<uint32_t>{9}));
    EXPECT_EQ(ModuleProtocol().outgoing.size(), 3u);
    PumpOutgoingMessages(); // pass 2: removed
    EXPECT_EQ(ModuleProtocol().outgoing.size(), 2u);
    EXPECT_EQ(written.size(), 1u);
    PumpOutgoingMessages(); // pass 3: the pose
    EXPECT_EQ(WrittenTypes(), (std::vector<uint32_t>{9, 7}));
    for (int pass = 0; pass < 5; ++pass) PumpOutgoingMessages();
    EXPECT_EQ(written.size(), 2u) << "speech stop waits behind the unacknowledged pose";

    EXPECT_FALSE(AcknowledgeQueueHead(poseSequence + 7));
    PumpOutgoingMessages();
    EXPECT_EQ(written.size(), 2u) << "an acknowledgement of another sequence leaves the head waiting";

    EXPECT_TRUE(AcknowledgeQueueHead(poseSequence));
    PumpOutgoingMessages(); // removes the pose
    EXPECT_EQ(written.size(), 2u);
    PumpOutgoingMessages();
    EXPECT_EQ(WrittenTypes(), (std::vector<uint32_t>{9, 7, 10}));
    PumpOutgoingMessages();
    EXPECT_TRUE(ModuleProtocol().outgoing.empty());
    EXPECT_EQ(Log().log.text,
              "MessageE2W:msgtype_SPEECHSTART\nMessageE2W:work_flaps\nMessageE2W:msgtype_SPEECHSTOP\n");
}

TEST_F(ModuleProtocolTest, AcknowledgementOfAHeadNotYetSentIsRefused) {
    PumpOutgoingMessages();
    EXPECT_TRUE(written.empty()) << "an empty queue pumps nothing";
    EXPECT_TRUE(Log().log.text.empty());
    QueueModuleMessage(kMsgPose, "work_a", 0.0);
    uint32_t sequence = ModuleProtocol().outgoing.front().sequence;
    EXPECT_FALSE(AcknowledgeQueueHead(sequence)) << "a stray early acknowledgement must not strand the head";
    PumpOutgoingMessages();
    EXPECT_EQ(written.size(), 1u) << "the head is still sent";
    EXPECT_TRUE(AcknowledgeQueueHead(sequence));
    EXPECT_FALSE(AcknowledgeQueueHead(sequence)) << "only once";
    PumpOutgoingMessages();
    EXPECT_TRUE(ModuleProtocol().outgoing.empty());
    EXPECT_FALSE(AcknowledgeQueueHead(sequence)) << "empty queue";
}

TEST_F(ModuleProtocolTest, DrfBlockGoesWholeToItsArea) {
    ResetDrfArrays();
    Drf().e2w[0] = 1.5;
    Drf().e2w[499] = -7.0;
    SendDrfE2W();
    ASSERT_EQ(written.size(), 1u);
    EXPECT_EQ(written[0].clientDataId, 5u);
    EXPECT_EQ(written[0].definitionId, 4u);
    ASSERT_EQ(written[0].bytes.size(), 4000u);
    EXPECT_EQ(F64At(written[0].bytes, 0), 1.5);
    EXPECT_EQ(F64At(written[0].bytes, 3992), -7.0);
    ResetDrfArrays();
}
} // namespace
