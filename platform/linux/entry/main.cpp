// The Linux process entry: --version and --help are answered on the terminal; otherwise main hands over to
// the application frame.
#include "base/version.h"

#include <cstdio>

int TalveroMain();

int main(int argc, char** argv) {
    CommandLineAnswer answer = AnswerCommandLine(std::vector<std::string>(argv + 1, argv + argc));
    if (!answer.answered) return TalveroMain();
    std::fputs(answer.text.c_str(), answer.toError ? stderr : stdout);
    return answer.exitCode;
}
