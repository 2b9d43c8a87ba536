// The portable front of the configuration folders: test overrides first, else the platform's answer.
#include "platform/profile.h"

#include <map>

std::optional<std::string> SystemConfigFolderPath(ConfigFolder which);

namespace {
std::map<ConfigFolder, std::optional<std::string>>& Overrides() {
    static std::map<ConfigFolder, std::optional<std::string>> overrides;
    return overrides;
}
} // namespace

std::optional<std::string> ConfigFolderPath(ConfigFolder which) {
    auto found = Overrides().find(which);
    if (found != Overrides().end()) return found->second;
    return SystemConfigFolderPath(which);
}

void OverrideConfigFolder(ConfigFolder which, std::optional<std::string> path) { Overrides()[which] = path; }

void ResetConfigFolders() { Overrides().clear(); }
