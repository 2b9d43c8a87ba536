// The companion package's copy of the 737 cockpit model: renewed from the add-on whenever the add-on's
// model files change, with the first officer's scene node "PILOT_1" added to the main model.
#pragma once
#include <string>

// The maker's web address that ends the messages asking for a newer version to be installed.
inline constexpr const char* kMakerWebAddress = "https://www.quillbrook.example/talvero";

// Compares the add-on's four cockpit model files with the fingerprints in "./data/PM738/hash.txt" and,
// when they differ, copies them into the companion package, patches the main model and stores the new
// fingerprints. Start-up calls it for the 737 only, after CheckAircraftOptions; a fatal condition ends the
// application through ExitApplication, so the caller checks Frame().quitRequested afterwards.
void InstallCockpitModel();

// The patch of the main model's text: appends the "PILOT_1" node to the node array and its index (one more
// than the last root node's) to the scene's root nodes. False, with `text` unchanged, when the model does
// not have the shape the patch needs.
bool AddPilotNode(std::string& text);
