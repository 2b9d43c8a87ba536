// Start-up's reading of the settings file, applied to speech output line by line as the file gives them.
#include "app/apply_settings.h"

#include "base/settings.h"
#include "base/helpers.h"
#include "simlink/module_protocol.h"
#include "speech/speech_output.h"
#include "speech/voices.h"

namespace {
// A voice setting that names no voice of the list means the first; the voice is selected at once.
void ApplyVoiceIndex(int index) {
    SpeechOutputState& speech = SpeechOutput();
    if (index < 0 || static_cast<size_t>(index) >= speech.SpeakersList.size()) index = 0;
    Settings().voiceIndex = index;
    if (speech.SpeakersList.empty()) return;
    SelectVoice(speech.SpeakersList[static_cast<size_t>(index)]);
    speech.currentVoiceIndex = index;
}
} // namespace

void LoadSettings() {
    // Speech output has already chosen the first officer's voice. Without a voice line she keeps it, and
    // the setting names it, so that the next save does not give her another voice (the captain's, at 0).
    SettingsState& settings = Settings();
    settings.voiceIndex = SpeechOutput().currentVoiceIndex;
    for (const std::string& line : ReadLines(kSettingsPath)) {
        switch (ReadSettingLine(line)) {
        case SettingLine::Voice:
            ApplyVoiceIndex(settings.voiceIndex);
            break;
        case SettingLine::Volume:
            SetSpeechVolume(static_cast<float>(settings.volume), false);
            break;
        case SettingLine::Rate:
            SetSpeechRate(static_cast<float>(settings.rate), false);
            break;
        case SettingLine::Other:
            break;
        }
    }
    QueueModuleMessage(kMsgSettingsLoaded);
}
