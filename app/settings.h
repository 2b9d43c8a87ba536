// The user's settings as the program holds them while it runs ("./data/settings.txt" is read into this
// record at start-up and written from it when the module changes a value).
#pragma once
#include <string>

struct SettingsState {
    int voiceIndex = 0;
    int volume = 95;
    int rate = 50;
    std::string captainName = "Cap";     // "cap="
    std::string officerName = "Linda";   // "tvo="
    std::string joystickSelection;       // "jsel="
    std::string recognitionKey = "R";    // "kr="
    std::string recognitionButton = "0"; // "jr="
    std::string widgetButton = "1";      // "jc="
    std::string realMode = "1";          // "real="
    int capSpeech = 1;                   // "capspeech="
};
SettingsState& Settings();
void ResetSettings();
