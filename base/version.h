// The program's version number and its answers to the command line: --version and --help print and end
// the program before anything starts; without arguments the program starts as usual.
#pragma once
#include <string>
#include <vector>

// The one version number, as in the file VERSION (for example "1.0.0").
const char* ProgramVersion();

struct CommandLineAnswer {
    bool answered = false; // true: print `text` and end with `exitCode` instead of starting
    bool toError = false;  // the text is an error report (standard error rather than standard output)
    int exitCode = 0;
    std::string text;
};
// The arguments after the program's name.
CommandLineAnswer AnswerCommandLine(const std::vector<std::string>& args);
