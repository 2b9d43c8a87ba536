// The command line: what ends the program before it starts, and with which text and exit code.
#include "base/version.h"

#include <gtest/gtest.h>

#include <fstream>

namespace {
TEST(CommandLine, AnswersVersionAndHelpAndRefusesTheRest) {
    const std::string version = std::string("talvero ") + ProgramVersion() + "\n";
    struct Case {
        std::vector<std::string> args;
        bool answered;
        int exitCode;
        bool toError;
        const char* startsWith; // nullptr: no text
    };
    const Case cases[] = {
        {{}, false, 0, false, nullptr},
        {{"--version"}, true, 0, false, version.c_str()},
        {{"-v"}, true, 0, false, version.c_str()},
        {{"--help"}, true, 0, false, version.c_str()},
        {{"/?"}, true, 0, false, version.c_str()},
        {{"--verbose"}, true, 2, true, "talvero: unknown argument \"--verbose\"\n"},
        {{"--version", "now"}, true, 2, true, "talvero: unknown argument \"now\"\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.empty() ? std::string("(none)") : c.args[0]);
        CommandLineAnswer a = AnswerCommandLine(c.args);
        EXPECT_EQ(a.answered, c.answered);
        EXPECT_EQ(a.exitCode, c.exitCode);
        EXPECT_EQ(a.toError, c.toError);
        if (c.startsWith) {
            EXPECT_EQ(a.text.rfind(c.startsWith, 0), 0u) << a.text;
        } else {
            EXPECT_TRUE(a.text.empty());
        }
    }
    EXPECT_NE(AnswerCommandLine({"--help"}).text.find("data/log.txt"), std::string::npos);
    EXPECT_EQ(AnswerCommandLine({"--version"}).text, version) << "one line, nothing more";
}

TEST(CommandLine, TheVersionIsTheOneInTheVersionFile) {
    std::ifstream file(std::string(TALVERO_SOURCE_DIR) + "/VERSION");
    std::string line;
    ASSERT_TRUE(std::getline(file, line));
    EXPECT_EQ(line, ProgramVersion());
    EXPECT_STRNE(ProgramVersion(), "0.0.0");
}
} // namespace
