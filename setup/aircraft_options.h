// The 737 add-on's options file: its three data-broadcast switches turned on in every simulator
// installation found, and the module's work folder pointed at the installation found last.
#pragma once
#include <string>

// Looks for the options file of the store and then the Steam edition, updates each one found and sets
// Frame().wasmWorkPath to that edition's work folder. Start-up calls it for the 737 only.
void CheckAircraftOptions();

// Checks one options file and rewrites it when a switch or the "[SDK]" header is missing; the pilot is
// then asked to reload the simulator. A file that cannot be read is left alone.
void UpdateOptionsFile(const std::string& path);
