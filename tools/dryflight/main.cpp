// dryflight: the authors' dry run. Flies an aircraft profile through a scenario on a simulated clock with
// no simulator, no sound and no window, prints the timeline and what did not work out, and ends with 0
// when nothing did.
#include "base/helpers.h"
#include "scenario/dry_flight.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {
const char* kUsage =
    "usage: dryflight <aircraft folder> <scenario file> [--after SECONDS]\n"
    "  Loads the aircraft folder's poses and systems files as the application does and flies them through\n"
    "  the scenario on a simulated clock of 20 ms passes: no simulator, no sound, no window. The in-\n"
    "  simulator module is played by the dry flight: every link gets its index, code sent to the module\n"
    "  moves the variables it names, poses are acknowledged after the scenario's pose time (1 s).\n"
    "  The scenario is either the simulator stand-in's (tools/demo/flight.scenario: \"set\", \"posetime\",\n"
    "  \"at <time> captain <phrase>\", \"at <time> set <name> <value>\", \"runways\", \"keyevent\", "
    "\"quit\"),\n"
    "  or one input per line:\n"
    "    <seconds> heard <phrase>       the captain's phrase is heard\n"
    "    <seconds> sim <spec> <value>   a simulator variable takes a value (\"A:GEAR HANDLE POSITION\")\n"
    "    <seconds> drf <index> <value>  an element of the module's incoming DRF block takes a value\n"
    "    <seconds> key <spec>           the module reports a key event (\"K:...\")\n"
    "    <seconds> runways <takeoff>#<landing>\n"
    "  The flight ends when nothing runs or waits after the last input, at most SECONDS (120) later, or\n"
    "  at the stand-in scenario's \"quit\".\n"
    "  Prints the timeline (the captain's phrases heard, the first officer's lines, poses, code and values\n"
    "  sent, the answers she expects), then procedures and checklists started and finished, what still\n"
    "  waits at the end, pose steps skipped, and the links the flight never moved.\n"
    "  Exit code 0 when the scenario read whole and nothing was skipped or left waiting, 1 otherwise,\n"
    "  2 for a command line or a file it cannot use.\n";
} // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    double after = 120;
    if (args.size() == 4 && args[2] == "--after") {
        char* end = nullptr;
        after = std::strtod(args[3].c_str(), &end);
        if (*end != '\0' || !(after >= 0))
            args.clear();
        else
            args.resize(2);
    }
    if (args.size() != 2) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    bool ok = false;
    std::string text = ReplaceAll(ReadFileBytes(args[1], &ok), "\r\n", "\n");
    if (!ok) {
        std::fprintf(stderr, "dryflight: cannot read the scenario %s\n", args[1].c_str());
        return 2;
    }
    DryFlightReport report = FlyDry(args[0], text, after);
    for (const std::string& line : DescribeDryFlight(report)) std::printf("%s\n", line.c_str());
    return report.Clean() ? 0 : 1;
}
