// The user's known folders: local and roaming application data, and documents.
#pragma once
#include <optional>
#include <string>

enum class KnownFolder { LocalAppData, RoamingAppData, Documents };

// The folder's path in 8-bit text without a trailing separator, created if missing; nullopt when the
// platform cannot name it. On Linux: LocalAppData is the XDG data home (~/.local/share), RoamingAppData
// the XDG config home (~/.config), Documents the XDG documents folder (~/Documents).
std::optional<std::string> KnownFolderPath(KnownFolder which);

// Tests point a folder somewhere of their own (an empty optional makes the lookup fail); ResetKnownFolders
// returns every folder to the platform's answer.
void OverrideKnownFolder(KnownFolder which, std::optional<std::string> path);
void ResetKnownFolders();
