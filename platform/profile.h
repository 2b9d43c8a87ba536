// Where the simulator client's configuration lives: "SimConnect.cfg"-style profile files, the documents
// folders that hold them, and the user's registry values that name the simulator's TCP ports.
//
// Windows: GetPrivateProfileStringA / GetPrivateProfileSectionA, SHGetFolderPathA with CSIDL 46 (all
// users' documents) and CSIDL 5 (the user's documents), and the HKEY_CURRENT_USER registry.
// Linux:
//  - Profile files are read with the same rules as on Windows: section and key names compared without
//    regard to case, the first occurrence counts, the value trimmed of blanks and of one pair of
//    surrounding quotes, lines starting with ";" are comments.
//  - The all users' documents folder is the first folder of $XDG_CONFIG_DIRS (default /etc/xdg), the
//    machine-wide configuration folder; the user's documents folder is the XDG documents folder
//    ($XDG_DOCUMENTS_DIR, default ~/Documents). Neither is created.
//  - The registry is the file "talvero/registry.ini" in the XDG config folder (the RoamingAppData known
//    folder, ~/.config): one section per key path, one "name=value" line per string value, e.g.
//        [SOFTWARE\Microsoft\Microsoft Games\KittyHawk]
//        SimConnect_Port_IPv4=500
//        SimConnect_Port_IPv6=501
#pragma once
#include <optional>
#include <string>

// The value of `key` in `section` of the profile file at `path`; empty when missing. At most
// `bufferSize` - 1 characters are returned, as the Windows call does with its buffer.
std::string ReadProfileString(const std::string& path, const std::string& section, const std::string& key,
                              size_t bufferSize = 2048);
// True when the section exists in the file and holds at least one line.
bool ProfileSectionHasLines(const std::string& path, const std::string& section);

enum class ConfigFolder { AllUsersDocuments, UserDocuments };
// The folder's path without a trailing separator; nullopt when the platform has none.
std::optional<std::string> ConfigFolderPath(ConfigFolder which);
// Tests point the folders somewhere of their own (an empty optional: no folder).
void OverrideConfigFolder(ConfigFolder which, std::optional<std::string> path);
void ResetConfigFolders();

// A string value under HKEY_CURRENT_USER\`key`; nullopt when the key or value is missing or the value
// does not fit `maxBytes` (its terminating NUL included).
std::optional<std::string> ReadUserRegistryString(const std::string& key, const std::string& name, size_t maxBytes);
bool WriteUserRegistryString(const std::string& key, const std::string& name, const std::string& value);
// Removes the key with its values (tests clean up after themselves).
bool DeleteUserRegistryKey(const std::string& key);
