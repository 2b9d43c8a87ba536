// Start-up's reading of the settings file: the values into the settings record, and voice, volume and rate
// applied to speech output.
#pragma once

// Reads the settings file (any order, unknown lines ignored, missing file: defaults), applies voice, volume
// and rate to speech output without announcing, and tells the module (message type 26). Without a voice
// line the voice setting is the voice speech output chose at its start-up.
void LoadSettings();
