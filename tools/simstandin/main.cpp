// The simulator stand-in program: reads its command line, then serves until the scenario quits, the
// client leaves (--once), the time limit passes or it is interrupted.
#include "tools/simstandin/standin.h"

#include <csignal>
#include <cstdio>

namespace {
standin::StandIn* running = nullptr;

extern "C" void OnInterrupt(int) {
    if (running) running->stop = true;
}
} // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    for (const std::string& a : args) {
        if (a == "--help" || a == "-h") {
            std::fputs(standin::UsageText().c_str(), stdout);
            return 0;
        }
    }
    static standin::StandIn standIn;
    std::string error;
    if (!standin::ParseOptions(args, standIn.options, error)) {
        std::fprintf(stderr, "simstandin: %s\n%s", error.c_str(), standin::UsageText().c_str());
        return 2;
    }
    running = &standIn;
    std::signal(SIGINT, OnInterrupt);
    std::signal(SIGTERM, OnInterrupt);
    int rc = standin::Run(standIn);
    if (rc != 0) std::fprintf(stderr, "simstandin: %s\n", standIn.failure.c_str());
    return rc;
}
