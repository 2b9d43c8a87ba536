// The program's version number (given by the build from the file VERSION) and its command line.
#include "base/version.h"

#ifndef TALVERO_VERSION
#define TALVERO_VERSION "0.0.0"
#endif

namespace {
std::string VersionLine() {
    return std::string("talvero ") + TALVERO_VERSION + "\n";
}

std::string HelpText() {
    return VersionLine() +
           "A virtual first officer for Microsoft Flight Simulator.\n"
           "usage: talvero            start the first officer (the simulator should be running with the\n"
           "                          aircraft loaded)\n"
           "       talvero --version  print the version and end\n"
           "       talvero --help     print this text and end\n"
           "The program works in its installation folder (quillbrook-talvero, beside its data folder) and\n"
           "writes its log to data/log.txt there.\n";
}
} // namespace

const char* ProgramVersion() {
    return TALVERO_VERSION;
}

CommandLineAnswer AnswerCommandLine(const std::vector<std::string>& args) {
    CommandLineAnswer answer;
    if (args.empty()) return answer;
    answer.answered = true;
    const std::string& first = args[0];
    bool version = first == "--version" || first == "-v";
    bool help = first == "--help" || first == "-h" || first == "/?";
    if (args.size() == 1 && version) {
        answer.text = VersionLine();
    } else if (args.size() == 1 && help) {
        answer.text = HelpText();
    } else {
        // Nothing starts on a command line the program does not understand: the pilot sees why.
        const std::string& unknown = version || help ? args[1] : first;
        answer.toError = true;
        answer.exitCode = 2;
        answer.text = "talvero: unknown argument \"" + unknown + "\"\n" + HelpText();
    }
    return answer;
}
