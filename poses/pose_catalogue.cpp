// The pose catalogue, scanned once at start-up from the aircraft data folder.
#include "poses/pose_catalogue.h"

#include "base/frame_state.h"
#include "base/helpers.h"

PoseCatalogueState& PoseCatalogue() {
    static PoseCatalogueState state;
    return state;
}

void ResetPoseCatalogue() {
    PoseCatalogue() = PoseCatalogueState{};
}

void ScanPoses() {
    std::vector<std::string>& poses = PoseCatalogue().poses;
    poses.clear();
    const std::string root = Frame().AcfPath + "/poses/";
    // ListFolders joins with "/", so a group's path is the root, a "/" and the folder name.
    for (const std::string& group : ListFolders(root)) {
        // Every entry, with line breaks taken out of its name before the "txt" test.
        for (const std::string& file : ListEntriesContaining(group, "")) {
            if (file.find("txt") == std::string::npos) continue;
            std::string name = ReplaceFirst(file, ".txt", "");
            if (name.size() >= 5 &&
                (name.find("work_") != std::string::npos || name.find("rest_") != std::string::npos))
                poses.push_back(name);
        }
    }
}

int FindPose(const std::string& name) {
    const std::vector<std::string>& poses = PoseCatalogue().poses;
    for (size_t i = 0; i < poses.size(); ++i)
        if (poses[i] == name) return static_cast<int>(i);
    return -1;
}

int PoseCount() {
    return static_cast<int>(PoseCatalogue().poses.size());
}
