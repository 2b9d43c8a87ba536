// syscipher: the authors' tool for systems files. Enciphers plain systems files into ".sys" files with the
// key chain the loader follows, deciphers them back for editing, and checks a whole aircraft folder the way
// the application will load it.
#include "app/frame.h"
#include "base/log.h"
#include "poses/pose_catalogue.h"
#include "systems/loader.h"
#include "systems/profile_check.h"
#include "systems/sealing.h"

#include <cstdio>
#include <string>
#include <vector>

namespace {
const char* kUsage =
    "usage:\n"
    "  syscipher seal <systems folder> <plain folder> <name>...\n"
    "      Enciphers <plain folder>/<name>.txt into <systems folder>/<name>.sys for each name, in the\n"
    "      order of <systems folder>/_systems.txt. Seal again whenever a file earlier in the index\n"
    "      changes: each .sys file's key comes from the .sys file before it.\n"
    "  syscipher open <systems folder> <plain folder>\n"
    "      Deciphers every .sys file of the index into <plain folder>/<name>.txt.\n"
    "  syscipher check <aircraft folder>\n"
    "      Loads the aircraft folder's poses and systems files as the application does and lists every\n"
    "      line left out, every name that does not resolve, every pose that does not exist, every phrase\n"
    "      no block can hear, every answer shown that no block hears, every sequence with an item that\n"
    "      can never be done, and every link the module never gets. Exit code 1 when there is any.\n";

int Print(const SealReport& report) {
    for (const std::string& line : report.lines) std::printf("%s\n", line.c_str());
    return report.ok ? 0 : 1;
}

int Check(const std::string& aircraftFolder) {
    // The log and the DRF list stay in memory: a check writes nothing beside the profile.
    Log().log.path.clear();
    Log().drf.path.clear();
    Frame().AcfPath = aircraftFolder;
    ScanPoses();
    std::printf("%d poses in %s/poses\n", PoseCount(), aircraftFolder.c_str());
    CreateSystemsFromFile();
    ProfileSummary summary = SummariseSystems();
    for (const std::string& line : DescribeSummary(summary)) std::printf("%s\n", line.c_str());
    return summary.Clean() ? 0 : 1;
}
} // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (args.size() >= 3 && args[0] == "seal")
        return Print(
            SealSystemsFiles(args[1], args[2], std::vector<std::string>(args.begin() + 3, args.end())));
    if (args.size() == 3 && args[0] == "open") return Print(OpenSystemsFiles(args[1], args[2]));
    if (args.size() == 2 && args[0] == "check") return Check(args[1]);
    std::fputs(kUsage, stderr);
    return 2;
}
