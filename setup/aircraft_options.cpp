// The 737 add-on's options file: "EnableDataBroadcast", "EnableCDUBroadcast.0" and "EnableCDUBroadcast.1"
// set to 1 under "[SDK]", so the add-on publishes its cockpit and CDU data to us.
#include "setup/aircraft_options.h"

#include "base/frame_state.h"
#include "base/helpers.h"
#include "base/log.h"
#include "platform/known_folders.h"
#include "platform/message_box.h"
#include "platform/simulator_prefixes.h"

#include <optional>
#include <vector>

namespace {
const char* kHeader = "[SDK]";

struct RequiredOption {
    const char* key;  // what a line must contain to be this option's line
    const char* line; // the line as the add-on needs it
};
// In the order missing lines are appended.
const RequiredOption kRequiredOptions[] = {
    {"EnableDataBroadcast", "EnableDataBroadcast = 1"},
    {"EnableCDUBroadcast.0", "EnableCDUBroadcast.0 = 1"},
    {"EnableCDUBroadcast.1", "EnableCDUBroadcast.1 = 1"},
};
constexpr int kOptionCount = 3;

struct Edition {
    KnownFolder folder;
    const char* optionsFile; // after the known folder
    const char* workFolder;  // after the known folder
    const char* foundText;
    const char* missingText;
};
const Edition kEditions[] = {
    {KnownFolder::LocalAppData,
     "/Packages/Microsoft.FlightSimulator_8wekyb3d8bbwe/LocalState/packages/pmdg-aircraft-738/work/"
     "737_Options.ini",
     "/Packages/Microsoft.FlightSimulator_8wekyb3d8bbwe/LocalState/packages/quillbrook-talvero/work/",
     "PMDG 738 non-steam ini file exist: ", "PMDG 738 non-steam ini file NOT exist"},
    {KnownFolder::RoamingAppData,
     "/Microsoft Flight Simulator/Packages/pmdg-aircraft-738/work/737_Options.ini",
     "/Microsoft Flight Simulator/Packages/quillbrook-talvero/work/",
     "PMDG 738 steam ini file exist: ", "PMDG 738 steam ini file NOT exist"},
};

bool Contains(const std::string& line, const char* text) {
    return line.find(text) != std::string::npos;
}

std::string JoinLines(const std::vector<std::string>& lines) {
    std::string text;
    for (const auto& line : lines) {
        text += line;
        text += '\n';
    }
    return text;
}

void CheckEdition(const Edition& edition, const std::optional<std::string>& folder) {
    // Without its known folder an edition's path would point at the root of the drive: count it as absent.
    std::string options = folder ? *folder + edition.optionsFile : std::string();
    if (!folder || !FileExists(options)) {
        WriteLog(edition.missingText);
        return;
    }
    WriteLog(edition.foundText + options);
    UpdateOptionsFile(options);
    FrameState& frame = Frame();
    frame.wasmWorkPath = *folder + edition.workFolder;
    WriteLog("WorkParh: " + frame.wasmWorkPath);
}
} // namespace

void UpdateOptionsFile(const std::string& path) {
    // Rewriting a file we could not read would replace all of the add-on's other options with ours.
    if (!FileExists(path)) {
        WriteLog("PMDG .ini file can not be read: " + path);
        return;
    }
    std::vector<std::string> lines = ReadLines(path);

    bool headerSeen = false;
    bool found[kOptionCount] = {};
    bool changed = false;
    std::vector<std::string> result;
    result.reserve(lines.size() + 4);
    for (auto& line : lines) {
        if (Contains(line, kHeader)) {
            headerSeen = true;
            result.push_back(std::move(line));
            continue;
        }
        int option = -1;
        for (int i = 0; i < kOptionCount && option < 0; ++i)
            if (Contains(line, kRequiredOptions[i].key)) option = i;
        if (option == 0 && !headerSeen) {
            // The switches belong to the "[SDK]" section; one that stands before every header gets one.
            result.push_back(kHeader);
            headerSeen = true;
            changed = true;
        }
        if (option >= 0) {
            found[option] = true;
            if (!Contains(line, kRequiredOptions[option].line)) {
                line = kRequiredOptions[option].line;
                changed = true;
            }
        }
        result.push_back(std::move(line));
    }
    if (!headerSeen) {
        result.push_back(kHeader);
        changed = true;
    }
    for (int i = 0; i < kOptionCount; ++i) {
        if (found[i]) continue;
        result.push_back(kRequiredOptions[i].line);
        changed = true;
    }

    if (!changed) {
        WriteLog("PMDG .ini file was checked for SDK options. Ok");
        return;
    }
    std::string text = JoinLines(result);
    // A new file put in place keeps the old one whole if writing fails; where the add-on's folder does not
    // let us replace the file, it is rewritten where it stands, but only once the new file could be written
    // whole (a full disk must not cost the add-on its options).
    bool written = false;
    if (!WriteStringReplacing(path, text, &written) && !(written && WriteString(path, text))) {
        WriteLog("PMDG .ini file can not be written: " + path);
        ShowInfoBox(
            "PMDG .ini file can not be written: " + path +
                ". Please set EnableDataBroadcast, EnableCDUBroadcast.0 and EnableCDUBroadcast.1 to 1 "
                "in its [SDK] section and reload MSFS",
            "Information");
        return;
    }
    WriteLog("PMDG .ini file was updated");
    ShowInfoBox("PMDG .ini file was updated. Please reload MSFS", "Information");
}

void CheckAircraftOptions() {
    std::optional<std::string> local = KnownFolderPath(KnownFolder::LocalAppData);
    std::optional<std::string> roaming = KnownFolderPath(KnownFolder::RoamingAppData);
    // A simulator under Proton: the add-on's options lie in the same prefix as the module's work folder.
    const std::string& work = Frame().wasmWorkPath;
    for (const SimulatorPrefix& prefix : SimulatorPrefixes()) {
        if (work.rfind(prefix.local + "/", 0) == 0 || work.rfind(prefix.roaming + "/", 0) == 0) {
            local = prefix.local;
            roaming = prefix.roaming;
            break;
        }
    }
    if (local) WriteLog("LOCALAPPDATA folder=" + *local);
    if (roaming) WriteLog("APPDATA folder=" + *roaming);
    // Both editions are always looked at: with both installed, both files are updated and the module's
    // work folder ends with the Steam edition's.
    CheckEdition(kEditions[0], local);
    CheckEdition(kEditions[1], roaming);
}
