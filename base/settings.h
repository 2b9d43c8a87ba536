// The user's settings as the program holds them while it runs ("./data/settings.txt" is read into this
// record at start-up and written from it when the module changes a value). Subsystems read the values;
// applying them at start-up is the program's (LoadSettings).
#pragma once
#include <string>

inline constexpr const char* kSettingsPath = "./data/settings.txt";

struct SettingsState {
    int voiceIndex = 0; // the first officer's voice: a position in SpeakersList
    int volume = 95;
    int rate = 50;
    std::string captainName = "Cap";     // "cap="
    std::string officerName = "Linda";   // "tvo="
    std::string joystickSelection;       // "jsel="
    std::string recognitionKey = "R";    // "kr="
    std::string recognitionButton = "0"; // "jr="
    std::string widgetButton = "1";      // "jc="
    std::string realMode = "1";          // "real="; written, never read back
    int capSpeech = 1;                   // "capspeech="; non-zero: the captain's phrases are spoken
    // "recogniser=": which recogniser hears the captain: "automatic" (or empty, the default: Windows'
    // shared recogniser where it starts, else the built-in one), "windows" or "builtin". Written to the file
    // only when it is not the default, so a file of defaults keeps its eleven lines.
    std::string recogniser;
};
SettingsState& Settings();
void ResetSettings();

// What one line of the settings file set, for whoever applies the settings: voice, volume and rate take
// effect in speech output; the other keys (and lines of no key, or a number that is no number) are only
// values.
enum class SettingLine { Voice, Volume, Rate, Other };
// Reads one line of the settings file into the record: the voice line's number as written (the voice
// list decides what it names), volume and rate at the nearest end of 0..100, the texts as they stand.
SettingLine ReadSettingLine(const std::string& line);
// Rewrites the settings file whole from the current values, in the fixed key order, with CR LF between
// lines and none after the last. Line breaks inside text values are dropped, and so is "=" from a value
// that would otherwise be read back as another key, so that no value can add or change other keys. The
// old file stays whole until the new one is complete. Failures are ignored.
void SaveSettings();
// The recogniser setting as the file holds it now, read on its own: recognition starts before the
// settings are loaded.
std::string RecogniserSettingInFile();
// The file's text as SaveSettings writes it, before the line ends become CR LF.
std::string SettingsFileText();
// Volume and rate are settings from 0 to 100: a number beyond them is taken at the nearest end, so a
// stray value is neither announced, applied nor saved as it came.
int ClampedSetting(int value);
