// The run log on disk: byte layout, ordering of appended lines, and another copy overwriting the file.
#include "base/log.h"
#include "tests/fakes/test_support.h"

#include <gtest/gtest.h>

namespace {
struct LogTest : ::testing::Test {
    TempFolder folder;
    std::string logPath;
    void SetUp() override {
        ResetLog();
        folder.Make("data/x");
        Log().log.path = logPath = folder.path + "/data/log.txt";
        Log().drf.path = folder.path + "/data/drf.txt";
    }
    void TearDown() override { ResetLog(); }
};

TEST_F(LogTest, LinesReachTheFileWithCrLfAndAppendedLinesComeFirst) {
    WriteLog("first");
    EXPECT_EQ(ReadBytes(logPath), "first\r\n");
    AppendLog("held");
    AppendLogList("Available Speakers List:", {"Anna", "Bob"});
    EXPECT_EQ(ReadBytes(logPath), "first\r\n") << "appended lines wait for the next written line";
    WriteLog("");
    WriteLog("LogTime: Sun Dec  6 09:21:52 2026\n");
    EXPECT_EQ(ReadBytes(logPath), "first\r\nheld\r\nAvailable Speakers List:\r\nAnna\r\nBob\r\n\r\n"
                                  "LogTime: Sun Dec  6 09:21:52 2026\r\n\r\n");
}

TEST_F(LogTest, AnotherCopyTruncatingTheFileIsUndoneByTheNextLine) {
    WriteLog("one");
    WriteLog("two");
    // A refused second copy rewrites the file with its single line.
    folder.Write("data/log.txt", "EXIT: Trying to run another copy\r\n");
    WriteLog("three");
    EXPECT_EQ(ReadBytes(logPath), "one\r\ntwo\r\nthree\r\n");
    // Same size as ours but other bytes: still noticed.
    folder.Write("data/log.txt", "ONE\r\nTWO\r\nTHREE\r\n");
    WriteLog("four");
    EXPECT_EQ(ReadBytes(logPath), "one\r\ntwo\r\nthree\r\nfour\r\n");
}

TEST_F(LogTest, UnwritableFileKeepsLinesForTheNextSuccessfulWrite) {
    Log().log.path = folder.path + "/missing/log.txt";
    WriteLog("kept");
    Log().log.path = logPath;
    WriteLog("next");
    EXPECT_EQ(ReadBytes(logPath), "kept\r\nnext\r\n");
}

TEST_F(LogTest, DrfListIsRewrittenAfterClearing) {
    WriteDrfLine("a");
    WriteDrfLine("b");
    EXPECT_EQ(ReadBytes(Log().drf.path), "a\r\nb\r\n");
    ClearDrfText();
    EXPECT_EQ(ReadBytes(Log().drf.path), "a\r\nb\r\n") << "clearing touches no file";
    WriteDrfLine("c");
    EXPECT_EQ(ReadBytes(Log().drf.path), "c\r\n");
    DebugTrace("nothing", "visible");
    EXPECT_EQ(Log().log.text, "");
}
} // namespace
