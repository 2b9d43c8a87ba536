// Where a simulator that runs under Steam's Proton keeps its Windows folders: each Proton prefix of each
// Steam library, with the prefix's own local and roaming application data folders. A program beside the
// simulator looks there before the user's own folders.
#pragma once
#include <optional>
#include <string>
#include <vector>

struct SimulatorPrefix {
    std::string library; // the Steam library folder that holds the prefix
    std::string appId;   // the Steam application the prefix belongs to ("1250410": the 2020 edition)
    std::string local;   // the prefix's LocalAppData, without a trailing separator
    std::string roaming; // the prefix's RoamingAppData, without a trailing separator
};

// Every prefix of every Steam library of the user, the simulator's editions first (2020, then 2024), the
// others in the order of their application numbers; libraries in the order Steam lists them. Empty where
// the simulator runs natively (Windows) or no Steam is installed.
std::vector<SimulatorPrefix> SimulatorPrefixes();

// Tests give the list themselves (an empty one: no Steam), so that the machine's own Steam never counts;
// ResetSimulatorPrefixes returns to the platform's answer.
void OverrideSimulatorPrefixes(std::optional<std::vector<SimulatorPrefix>> prefixes);
void ResetSimulatorPrefixes();

// What the pilot can do when the simulator cannot be reached, on a platform where that needs a step on
// the simulator's side (lines of text); empty where the simulator is reached directly.
std::vector<std::string> ConnectionFailureHint();

// The library folders named by the text of a Steam "libraryfolders.vdf" file, in the file's order (both
// the current form, with a "path" key in each numbered block, and the older one, with the path as the
// value of the numbered key).
std::vector<std::string> ParseSteamLibraryFolders(const std::string& vdfText);
