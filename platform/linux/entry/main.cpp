// The Linux process entry: --version and --help are answered on the terminal; otherwise main hands over to
// the application frame.
#include "platform/entry.h"

#include <cstdio>

int main(int argc, char** argv) {
    CommandLineAnswer answer = AnswerCommandLine(std::vector<std::string>(argv + 1, argv + argc));
    if (!answer.answered) return TalveroMain();
    std::fputs(answer.text.c_str(), answer.toError ? stderr : stdout);
    return answer.exitCode;
}
