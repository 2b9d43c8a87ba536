// The simulator under Proton on Linux: the Steam installations of the user, their libraries (from
// steamapps/libraryfolders.vdf) and every Proton prefix in each library's steamapps/compatdata.
#include "platform/simulator_prefixes.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <system_error>

namespace fs = std::filesystem;

namespace {
const char* kUserFolder = "/pfx/drive_c/users/steamuser";
// The simulator's editions on Steam, looked at first: 2020, then 2024.
const char* kEditionIds[] = {"1250410", "2537590"};

std::string Environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? std::string(value) : std::string();
}

// The places Steam keeps itself: the usual symbolic links, the data folder, and the Flatpak and Snap
// packagings of Steam.
std::vector<std::string> SteamRoots() {
    std::string home = Environment("HOME");
    std::vector<std::string> roots;
    if (home.empty()) return roots;
    std::string data = Environment("XDG_DATA_HOME");
    if (data.empty() || data[0] != '/') data = home + "/.local/share";
    roots = {home + "/.steam/steam",
             home + "/.steam/root",
             data + "/Steam",
             home + "/.local/share/Steam",
             home + "/.var/app/com.valvesoftware.Steam/.local/share/Steam",
             home + "/snap/steam/common/.local/share/Steam"};
    return roots;
}

std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool IsDirectory(const std::string& path) {
    std::error_code ec;
    return fs::is_directory(path, ec);
}

// The same folder reached twice (through a symbolic link) counts once; the first spelling is kept.
bool FirstTime(std::set<std::string>& seen, const std::string& path) {
    std::error_code ec;
    fs::path canonical = fs::canonical(path, ec);
    return seen.insert(ec ? path : canonical.string()).second;
}

std::vector<std::string> SteamLibraries() {
    std::vector<std::string> libraries;
    std::set<std::string> seenRoots, seenLibraries;
    for (const std::string& root : SteamRoots()) {
        if (!IsDirectory(root + "/steamapps") || !FirstTime(seenRoots, root)) continue;
        std::vector<std::string> found = {root};
        for (const char* list : {"/steamapps/libraryfolders.vdf", "/config/libraryfolders.vdf"}) {
            for (std::string folder : ParseSteamLibraryFolders(ReadText(root + list))) {
                while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
                found.push_back(folder);
            }
        }
        for (const std::string& library : found)
            if (IsDirectory(library + "/steamapps") && FirstTime(seenLibraries, library))
                libraries.push_back(library);
    }
    return libraries;
}

int EditionRank(const std::string& appId) {
    for (int i = 0; i < 2; ++i)
        if (appId == kEditionIds[i]) return i;
    return 2;
}

bool BeforeInSearch(const std::string& a, const std::string& b) {
    if (EditionRank(a) != EditionRank(b)) return EditionRank(a) < EditionRank(b);
    if (a.size() != b.size()) return a.size() < b.size(); // numbers: the shorter is the smaller
    return a < b;
}
} // namespace

std::vector<SimulatorPrefix> SystemSimulatorPrefixes() {
    std::vector<SimulatorPrefix> prefixes;
    for (const std::string& library : SteamLibraries()) {
        std::string compat = library + "/steamapps/compatdata";
        std::vector<std::string> ids;
        std::error_code ec;
        for (fs::directory_iterator it(compat, ec), end; !ec && it != end; it.increment(ec)) {
            std::string id = it->path().filename().string();
            if (IsDirectory(compat + "/" + id + kUserFolder)) ids.push_back(id);
        }
        std::sort(ids.begin(), ids.end(), BeforeInSearch);
        for (const std::string& id : ids) {
            std::string user = compat + "/" + id + kUserFolder;
            prefixes.push_back({library, id, user + "/AppData/Local", user + "/AppData/Roaming"});
        }
    }
    return prefixes;
}

std::vector<std::string> ConnectionFailureHint() {
    return {
        "The simulator was not reached. A simulator running under Proton cannot be reached through its pipe:",
        "open its TCP listener once with a SimConnect.xml in its folder inside the Proton prefix",
        "(steamapps/compatdata/1250410/pfx/drive_c/users/steamuser/AppData/Roaming/Microsoft Flight "
        "Simulator/),",
        "restart the simulator, and name the same address and port in ~/Documents/SimConnect.cfg",
        "(Protocol=IPv4, Address=127.0.0.1, Port=...). The README's section on Proton shows both files.",
    };
}
