// Push-to-talk recognition through the captain's feed: presses, releases, results, "any", and the
// repeated phrase that changes nothing.
#include "app/frame.h"
#include "app/log.h"
#include "flow/monitor.h"
#include "speech/recognition.h"
#include "speech/recognition_state.h"
#include "tests/fakes/captain_feed.h"
#include "tests/fakes/test_support.h"

#include <gtest/gtest.h>

#include <fstream>

namespace {
struct RecognitionTest : ::testing::Test {
    TempFolder work;
    void SetUp() override {
        ResetFrame();
        ResetLog();
        ResetRecognition();
        MonitorData().anyAnswerExpected = false;
        Log().log.path = work.path + "/log.txt";
        Frame().wasmWorkPath = work.path + "/";
        RecogniserInUse().recogniser = CaptainFeedRecogniser();
    }
    void Say(const std::string& phrase) {
        std::ofstream(work.path + "/captain.txt", std::ios::app) << phrase << "\r\n";
    }
    void Pass(uint8_t ptt) {
        Recognition().pttFlag = ptt;
        PollRecognition();
    }
};

TEST_F(RecognitionTest, ThePhraseSaidWhileTheKeyIsHeldIsHeardAfterRelease) {
    Say("from an earlier run");
    ASSERT_TRUE(InitRecognition());
    EXPECT_EQ(Recognition().recoState, 1);
    Pass(1);
    Say("gear up");
    EXPECT_EQ(Recognition().recoState, 2);
    Pass(1);
    Pass(0);
    EXPECT_EQ(Recognition().recoState, 3);
    EXPECT_EQ(Recognition().heardPhrase, "");
    Pass(0);
    EXPECT_EQ(Recognition().heardPhrase, "gear up");
    EXPECT_EQ(Recognition().displayPhrase, "gear up");
    EXPECT_EQ(Recognition().recoState, 1);
    EXPECT_EQ(Log().log.text, "-------->RECSTART\n-------->RECSTOP\nrecResult = gear up\n");

    // The same phrase while the first is not yet consumed changes nothing and keeps waiting.
    Pass(1);
    Say("gear up");
    Pass(0);
    Pass(0);
    Pass(0);
    EXPECT_EQ(Recognition().recoState, 3);
    // Nothing said: still waiting; then "any" when the monitor expects any answer.
    Recognition().heardPhrase.clear();
    Pass(1);
    Pass(0);
    Pass(0);
    EXPECT_EQ(Recognition().recoState, 3);
    MonitorData().anyAnswerExpected = true;
    Pass(0);
    EXPECT_EQ(Recognition().heardPhrase, "any");
    EXPECT_EQ(Recognition().displayPhrase, "...");
}

TEST_F(RecognitionTest, ReleaseWithoutPressAndAFailedStartDoNothing) {
    ASSERT_TRUE(InitRecognition());
    Recognition().previousPtt = 1;
    Pass(0);
    EXPECT_EQ(Recognition().recoState, 1);
    ResetRecognition();
    RecogniserInUse().recogniser.start = [](const std::vector<std::string>&) { return false; };
    EXPECT_FALSE(InitRecognition());
    Pass(1);
    Pass(0);
    Pass(0);
    EXPECT_EQ(Recognition().recoState, 0);
    EXPECT_EQ(Recognition().previousPtt, 0);
    EXPECT_EQ(Log().log.text, "");
    CloseRecognition();
    EXPECT_EQ(Recognition().recoState, 4);
}
} // namespace
