// The pose catalogue: the names of the first officer's poses that exist for the current aircraft, found
// under the aircraft data folder's "poses" tree. The in-simulator module plays them; flows name them.
#pragma once
#include <string>
#include <vector>

struct PoseCatalogueState {
    std::vector<std::string> poses; // in discovery order; duplicates kept
};
PoseCatalogueState& PoseCatalogue();
void ResetPoseCatalogue();

// Rebuilds the catalogue from Frame().AcfPath + "/poses/": every group folder (a name without ".") one
// level down, every file in it whose name holds "txt", less its first ".txt", if it then holds "work_" or
// "rest_".
void ScanPoses();
// Index of the first entry equal to `name` byte for byte; -1 when there is none.
int FindPose(const std::string& name);
int PoseCount();
