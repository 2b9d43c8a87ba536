// The portable front of the known folders: test overrides first, else the platform's answer.
#include "platform/known_folders.h"

#include <map>

std::optional<std::string> SystemKnownFolderPath(KnownFolder which);

namespace {
std::map<KnownFolder, std::optional<std::string>>& Overrides() {
    static std::map<KnownFolder, std::optional<std::string>> overrides;
    return overrides;
}
} // namespace

std::optional<std::string> KnownFolderPath(KnownFolder which) {
    auto found = Overrides().find(which);
    if (found != Overrides().end()) return found->second;
    return SystemKnownFolderPath(which);
}

void OverrideKnownFolder(KnownFolder which, std::optional<std::string> path) { Overrides()[which] = path; }

void ResetKnownFolders() { Overrides().clear(); }
