// Known folders on Linux: the XDG base folders, created if missing.
#include "platform/known_folders.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace {
std::optional<std::string> Home() {
    const char* home = std::getenv("HOME");
    if (!home || !*home) return std::nullopt;
    return std::string(home);
}

std::optional<std::string> FromEnvironment(const char* variable, const char* underHome) {
    const char* value = std::getenv(variable);
    if (value && *value == '/') return std::string(value);
    auto home = Home();
    if (!home) return std::nullopt;
    return *home + underHome;
}
} // namespace

std::optional<std::string> SystemKnownFolderPath(KnownFolder which) {
    std::optional<std::string> path;
    switch (which) {
    case KnownFolder::LocalAppData: path = FromEnvironment("XDG_DATA_HOME", "/.local/share"); break;
    case KnownFolder::RoamingAppData: path = FromEnvironment("XDG_CONFIG_HOME", "/.config"); break;
    case KnownFolder::Documents: path = FromEnvironment("XDG_DOCUMENTS_DIR", "/Documents"); break;
    }
    if (!path) return std::nullopt;
    std::error_code ec;
    std::filesystem::create_directories(*path, ec);
    if (!std::filesystem::is_directory(*path, ec)) return std::nullopt;
    return path;
}
