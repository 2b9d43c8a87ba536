// Push-to-talk recognition through the captain's feed: presses, releases, results, "any", and the
// repeated phrase that changes nothing.
#include "app/frame.h"
#include "base/log.h"
#include "flow/monitor.h"
#include "speech/recognition.h"
#include "systems/phrase_context.h"
#include "speech/recognition_state.h"
#include "systems/loader.h"
#include "systems/model.h"
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
        ResetPhraseContext();
        ResetSystems();
        Recognition().anyAnswerExpected = false;
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
    Recognition().anyAnswerExpected = true;
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

// The recogniser starts with the built-in phrases and, once the systems files are loaded, gets the whole
// phrase context: every phrase condition in its normal form, once, after the built-ins.
TEST_F(RecognitionTest, TheGrammarGrowsFromTheBuiltInPhrasesToTheWholePhraseContext) {
    ASSERT_TRUE(InitRecognition());
    ASSERT_EQ(CaptainFeed().grammar.size(), 19u);
    EXPECT_EQ(CaptainFeed().grammar.front(), "hello");
    EXPECT_EQ(CaptainFeed().grammar[7], "config");
    EXPECT_EQ(CaptainFeed().grammar.back(), "exit");

    work.Write("acf/systems/_systems.txt", "main\n");
    work.Write("acf/systems/main.txt", "sys=S\ndev=D\n"
                                       "out=A,execute,a,0\nlogic:\ninstring=Flaps  Five\nexecute=0,Flaps five,0\n"
                                       "out=B,execute,b,0\nlogic:\ninstring=flaps five\nexecute=0,Again,0\n"
                                       "out=C,execute,c,0\nlogic:\ninstring=HELLO\nexecute=0,Hi,0\n"
                                       "out=E,execute,e,0\nlogic:\ninstring=gear up, please!\nexecute=0,Up,0\n");
    Frame().AcfPath = work.path + "/acf";
    DefaultSubsystems().createSystems(); // as start-up loads the systems files
    std::vector<std::string> expected = PhraseContext().phraseContext;
    ASSERT_EQ(expected.size(), 21u) << "two phrases of four are new";
    EXPECT_EQ(expected[19], "flaps five");
    EXPECT_EQ(expected[20], "gear up please");
    EXPECT_EQ(CaptainFeed().grammar, expected);

    // A recogniser that refuses the new grammar, or one that is closed, keeps what it had.
    RecogniserInUse().recogniser.setGrammar = [](const std::vector<std::string>&) { return false; };
    EXPECT_EQ(ReinitGrammar(), 1);
    RecogniserInUse().recogniser = CaptainFeedRecogniser();
    EXPECT_EQ(ReinitGrammar(), 0);
    CloseRecognition();
    EXPECT_EQ(ReinitGrammar(), 1);
}
