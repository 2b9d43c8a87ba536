// Installation of the patched cockpit model into the companion package "quillbrook-talvero-pmdg-738",
// kept in step with the 737 add-on through the fingerprints of its four model files.
#include "setup/cockpit_model.h"

#include "base/frame_state.h"
#include "base/helpers.h"
#include "base/log.h"
#include "platform/files.h"
#include "platform/message_box.h"

#include <array>
#include <cstdio>

namespace {
struct ModelFile {
    const char* key;       // its line in the fingerprint file
    const char* digestLog; // its digest's line in the log
    const char* checked;   // under the add-on's folder: existence and fingerprint
    const char* source;    // under the add-on's folder: what is copied
    const char* copy;      // under the simulator's "Community" folder
};
// Separators as the add-on and the companion package have always been addressed; a "\" becomes the
// platform's separator (see Fixed).
const ModelFile kModelFiles[] = {
    {"file1=", "fileVCbinMD5=", "SimObjects/Airplanes/PMDG 737-800/model.BW/PMDG_737-800NG_VC.bin",
     "SimObjects\\Airplanes\\PMDG 737-800\\model.BW\\PMDG_737-800NG_VC.bin",
     "quillbrook-talvero-pmdg-738\\SimObjects/Airplanes\\TalVero_PMDG738\\model.BW\\PMDG_737-800NG_VC.bin"},
    {"file2=", "fileVCgltfMD5=", "SimObjects/Airplanes/PMDG 737-800/model.BW/PMDG_737-800NG_VC.gltf",
     "SimObjects\\Airplanes\\PMDG 737-800\\model.BW\\PMDG_737-800NG_VC.gltf",
     "quillbrook-talvero-pmdg-738\\SimObjects\\Airplanes\\TalVero_PMDG738\\model.BW\\PMDG_737-800NG_VC.gltf"},
    {"file3=", "fileVCLOD1binMD5=", "SimObjects/Airplanes/PMDG 737-800/model.BW/PMDG_737-800NG_VC_LOD1.bin",
     "SimObjects\\Airplanes\\PMDG 737-800\\model.BW\\PMDG_737-800NG_VC_LOD1.bin",
     "quillbrook-talvero-pmdg-738\\SimObjects\\Airplanes\\TalVero_PMDG738\\model.BW\\"
     "PMDG_737-800NG_VC_LOD1.bin"},
    {"file4=", "fileVCLOD1gltfMD5=", "SimObjects/Airplanes/PMDG 737-800/model.BW/PMDG_737-800NG_VC_LOD1.gltf",
     "SimObjects\\Airplanes\\PMDG 737-800\\model.BW\\PMDG_737-800NG_VC_LOD1.gltf",
     "quillbrook-talvero-pmdg-738\\SimObjects\\Airplanes\\TalVero_PMDG738\\model.BW\\"
     "PMDG_737-800NG_VC_LOD1.gltf"},
};
constexpr int kFileCount = 4;
constexpr int kMainModel = 1; // the "file2=" row, the model that gets the node
using Digests = std::array<std::string, kFileCount>;

const char* kOwnPackage = "Community\\quillbrook-talvero";
// Where the add-on may be installed, in the order they are tried.
const char* kAddOnFolders[] = {"Community\\pmdg-aircraft-738\\", "Official\\Steam\\pmdg-aircraft-738\\",
                               "Official\\OneStore\\pmdg-aircraft-738\\"};
const char* kPatchedModel =
    "quillbrook-talvero-pmdg-738/SimObjects/Airplanes/TalVero_PMDG738/model.BW/PMDG_737-800NG_VC.gltf";
const char* kFingerprintFile = "./data/PM738/hash.txt";

const char* kNodeListEnd = "],\"scene\":0,\"scenes\":[";
const char* kNodeAdded =
    ",{\"translation\":[-0.497,0.8152717,13.877],\"name\":\"PILOT_1\"}],\"scene\":0,\"scenes\":[";
const char* kRootListEnd = "]}],\"skins\":[";
constexpr size_t kRootWindow = 10; // characters before the root list's end that hold its last index

const char* kInfoCaption = "Information";
const char* kAutoUpdateFailed = "TALVERO Error - can not update files in auto mode.";

// A fixed path as the platform spells it: on Windows unchanged, elsewhere every "\" becomes "/" (the tree
// may live in a Proton prefix, where only "/" separates).
std::string Fixed(std::string path) {
    char separator = NativeSeparator();
    for (char& c : path)
        if (c == '\\') c = separator;
    return path;
}

void FailInstallation(const std::string& boxText, const std::string& reason) {
    ShowInfoBox(boxText + " Please install more fresh version from " + kMakerWebAddress, kInfoCaption);
    ExitApplication(reason);
}

// A copy that never leaves half a model behind: the bytes go to a new file beside the copy, which then
// takes the copy's place. Logged as any file copy is.
bool CopyModelFile(const std::string& source, const std::string& destination) {
    WriteLog("copy fr " + source);
    WriteLog("copy to " + destination);
    std::string fresh = destination + ".new";
    int error = 0;
    if (CopyFileReplacing(source, fresh, error) && ReplaceFileWith(fresh, destination, &error)) return true;
    std::remove(fresh.c_str());
    WriteLog("Copy file error=" + ToString(error));
    return false;
}

Digests StoredDigests() {
    Digests stored;
    for (const auto& line : ReadLines(kFingerprintFile)) {
        for (int i = 0; i < kFileCount; ++i) {
            if (line.find(kModelFiles[i].key) == std::string::npos) continue;
            // The key is expected at the start of its line.
            stored[i] = line.substr(6);
            break;
        }
    }
    return stored;
}

// One to nine digits: a node index that one more still fits.
bool IsNodeIndex(const std::string& text) {
    if (text.empty() || text.size() > 9) return false;
    for (char c : text)
        if (c < '0' || c > '9') return false;
    return true;
}
} // namespace

bool AddPilotNode(std::string& text) {
    if (text.find(kNodeListEnd) == std::string::npos) {
        // Without the node there is nothing for a new root index to point at.
        WriteLog(std::string("Cant find ") + kNodeListEnd);
        return false;
    }
    std::string patched = ReplaceFirst(text, kNodeListEnd, kNodeAdded);

    size_t rootEnd = patched.find(kRootListEnd);
    if (rootEnd == std::string::npos) {
        WriteLog(std::string("Cant find ") + kRootListEnd);
        return false;
    }
    std::string window = patched.substr(rootEnd < kRootWindow ? 0 : rootEnd - kRootWindow,
                                        rootEnd < kRootWindow ? rootEnd : kRootWindow);
    WriteLog("tmpString=" + window);
    if (rootEnd < kRootWindow) return false;
    std::string lastNum = SplitAt(window, ',').back();
    WriteLog("lastNumString=" + lastNum);
    // Anything but a plain index (a sign, a point, a word, an index cut by the window) would give the
    // scene a root that is not our node.
    if (!IsNodeIndex(lastNum)) return false;
    int lastIndex = 0;
    ReadLeadingInt(lastNum, lastIndex);
    std::string newNum(1, ',');
    newNum += ToString(lastIndex + 1);
    WriteLog("newNumString=" + newNum);
    text = ReplaceFirst(patched, kRootListEnd, newNum + kRootListEnd);
    return true;
}

void InstallCockpitModel() {
    std::string rootPath = ReplaceFirst(CurrentDirectory(), Fixed(kOwnPackage), "");
    WriteLog("RootPath=" + rootPath);
    WriteLog("Will check this pats:");
    for (const char* folder : kAddOnFolders) WriteLog(rootPath + Fixed(folder) + "manifest.json");

    std::string pmdgPath;
    for (const char* folder : kAddOnFolders) {
        if (FileExists(rootPath + Fixed(folder) + "manifest.json")) {
            pmdgPath = rootPath + Fixed(folder);
            break;
        }
    }
    if (pmdgPath.empty()) {
        ShowInfoBox("PMDG aircraft path was not find. Please contact QuillBrook support!", kInfoCaption);
        ExitApplication("PMDG aircraft path was not find");
        return;
    }
    WriteLog("PmdgPath=" + pmdgPath);
    std::string commPath = rootPath + Fixed("Community\\");
    WriteLog("CommPath=" + commPath);

    for (const auto& file : kModelFiles) {
        if (!FileExists(pmdgPath + file.checked)) {
            WriteLog("Can not find file for MD5 check");
            return;
        }
    }
    Digests current;
    for (int i = 0; i < kFileCount; ++i) {
        current[i] = Md5OfFile(pmdgPath + kModelFiles[i].checked);
        WriteLog(kModelFiles[i].digestLog + current[i]);
    }
    if (current == StoredDigests()) return;

    std::string results;
    for (const auto& file : kModelFiles)
        results += CopyModelFile(pmdgPath + Fixed(file.source), commPath + Fixed(file.copy)) ? '1' : '0';
    if (results != "1111") {
        WriteLog("copyFile error" + results);
        FailInstallation(kAutoUpdateFailed, std::string(kAutoUpdateFailed) + " CopyFile error.");
        return;
    }
    if (Md5OfFile(commPath + Fixed(kModelFiles[kMainModel].copy)) != current[kMainModel]) {
        WriteLog("File have wrong MD5 after copying");
        FailInstallation(kAutoUpdateFailed,
                         std::string(kAutoUpdateFailed) + " File have wrong MD5 after copying.");
        return;
    }

    std::string modelPath = commPath + kPatchedModel;
    std::string model = ReadFileToString(modelPath);
    if (!AddPilotNode(model)) {
        FailInstallation("TALVERO Error - can not update files in auto mode..",
                         "TALVERO Error - can not update files in auto mode..");
        return;
    }
    if (!WriteStringReplacing(modelPath, model)) {
        // The copy stays whole but unpatched; without new fingerprints the next start tries again.
        WriteLog("Can not write " + modelPath);
        FailInstallation(kAutoUpdateFailed, std::string(kAutoUpdateFailed) + " Write error.");
        return;
    }

    ShowInfoBox("TALVERO files was updated. Please reload MSFS", kInfoCaption);
    std::string fingerprints;
    for (int i = 0; i < kFileCount; ++i) fingerprints += kModelFiles[i].key + current[i] + "\n";
    if (!WriteStringReplacing(kFingerprintFile, fingerprints))
        WriteLog(std::string("Can not write ") + kFingerprintFile);
}
