// Fuzz target: the settings file. The input is "./data/settings.txt" as the user left it; it is loaded as
// start-up does, saved, and loaded again: the second load must give the same settings as the first (no
// value can turn into another key or into lines of its own), and volume, rate and voice stay in range.
#include "app/apply_settings.h"
#include "base/settings.h"
#include "base/helpers.h"
#include "fuzz/support/fuzz_support.h"
#include "speech/speech_output.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 16 * 1024) return -1;
    ResetProgramState();
    WriteFuzzFile("data/settings.txt", InputText(data, size));
    LoadSettings();
    const SettingsState& s = Settings();
    FuzzCheck(s.volume >= 0 && s.volume <= 100, "volume stays within 0 to 100");
    FuzzCheck(s.rate >= 0 && s.rate <= 100, "rate stays within 0 to 100");
    FuzzCheck(s.voiceIndex >= 0 && static_cast<size_t>(s.voiceIndex) < SpeechOutput().SpeakersList.size(),
              "the voice names an installed voice");
    const std::string first = SettingsFileText();
    SaveSettings();
    const std::string onDisk = ReadFileToString(FuzzPath("data/settings.txt"));
    FuzzCheck(onDisk == first, "the file holds what was saved");
    ResetSettings();
    LoadSettings();
    FuzzCheck(SettingsFileText() == first, "loading a saved file gives the same settings");
    return 0;
}
