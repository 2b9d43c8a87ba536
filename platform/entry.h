// What the program gives the platform's process entry (main on Linux, WinMain on Windows): its answer to
// the command line, and the program itself.
#pragma once
#include <string>
#include <vector>

struct CommandLineAnswer {
    bool answered = false; // true: print `text` and end with `exitCode` instead of starting
    bool toError = false;  // the text is an error report (standard error rather than standard output)
    int exitCode = 0;
    std::string text;
};
// The arguments after the program's name: --version and --help are answered; anything else starts.
CommandLineAnswer AnswerCommandLine(const std::vector<std::string>& args);

// The whole program, when the command line did not answer: its exit code.
int TalveroMain();
