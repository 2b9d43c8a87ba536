// The voices of speech output: enumeration and the voice list file, voice choice, rate and volume, and the
// captain's phrases read aloud in the captain's voice.
#include "speech/voices.h"

#include "base/settings.h"
#include "base/helpers.h"
#include "base/log.h"
#include "simlink/module_protocol.h"
#include "speech/speech_output.h"

#include <cmath>

namespace {
std::vector<std::string> InstalledVoices() {
    const SpeechEngine& engine = SpeechOutput().engine;
    return engine.voiceDescriptions ? engine.voiceDescriptions() : std::vector<std::string>{};
}

bool IsListed(int position) {
    return position >= 0 && static_cast<size_t>(position) < SpeechOutput().SpeakersList.size();
}

// The short name the module shows: the second space-separated word, or the whole description when it
// has no space. Line breaks are dropped so that each voice stays on its own line.
std::string ShortVoiceName(const std::string& description) {
    size_t space = description.find(' ');
    if (space == std::string::npos) return StripLineBreaks(description);
    size_t end = description.find(' ', space + 1);
    if (end == std::string::npos) end = description.size();
    return StripLineBreaks(description.substr(space + 1, end - space - 1));
}
} // namespace

std::vector<std::string> GetSpeakersList() {
    SpeechOutputState& speech = SpeechOutput();
    std::vector<std::string> speakers;
    for (const std::string& description : InstalledVoices()) {
        if (description.find("English") == std::string::npos) continue;
        int position = static_cast<int>(speakers.size());
        speakers.push_back(description);
        if (description.find("David") != std::string::npos) speech.capVoiceIndex = position;
        if (description.find("Zira") != std::string::npos) speech.currentVoiceIndex = position;
    }
    std::string file;
    for (const std::string& description : speakers) file += ShortVoiceName(description) + "\n";
    // Put in place whole or not at all; the module copes without it, so a failure is not reported.
    WriteBytesReplacing(kVoiceListPath, file);
    return speakers;
}

void InitTextToSpeech() {
    SpeechOutputState& speech = SpeechOutput();
    // A synthesiser that cannot start leaves an engine whose operations do nothing.
    if (speech.engine.start) speech.engine.start();
    speech.SpeakersList = GetSpeakersList();
    AppendLogList("Available Speakers List:", speech.SpeakersList);
    if (!speech.SpeakersList.empty()) {
        // A second start with a shorter list could leave the position past its end.
        if (!IsListed(speech.currentVoiceIndex)) speech.currentVoiceIndex = 0;
        const std::string description = speech.SpeakersList[static_cast<size_t>(speech.currentVoiceIndex)];
        SelectVoice(description);
        WriteLog("Voice was set to " + description);
    }
    AppendLog("Init Recognition & TTS Done");
    QueueModuleMessage(kMsgVoiceIndex, std::string(), speech.currentVoiceIndex);
}

void SelectVoice(const std::string& name) {
    std::vector<std::string> voices = InstalledVoices();
    int chosen = -1;
    for (size_t i = 0; i < voices.size(); ++i)
        if (voices[i].starts_with(name)) chosen = static_cast<int>(i); // the last match wins
    const SpeechEngine& engine = SpeechOutput().engine;
    if (chosen >= 0 && engine.selectVoice) engine.selectVoice(chosen);
}

void ChangeVoice(int position, bool announce) {
    SpeechOutputState& speech = SpeechOutput();
    if (!IsListed(position)) {
        if (announce) SpeakText("Speech voice was not changed.");
        return;
    }
    const std::string description = speech.SpeakersList[static_cast<size_t>(position)];
    SelectVoice(description);
    if (announce) SpeakText("Speech voice was changed to " + description);
    speech.currentVoiceIndex = position;
}

float EngineRateOf(float rate) {
    return static_cast<float>(static_cast<double>(rate) / 100.0 * 22.0 - 11.0);
}

int TruncatedSetting(float value) {
    if (std::isnan(value)) return 0;
    if (value >= 2147483648.0f) return 2147483647;
    if (value <= -2147483648.0f) return -2147483647 - 1;
    return static_cast<int>(value);
}

void SetSpeechRate(float rate, bool announce) {
    SpeechOutputState& speech = SpeechOutput();
    speech.engineRate = EngineRateOf(rate);
    if (speech.engine.setRate) speech.engine.setRate(TruncatedSetting(speech.engineRate));
    if (announce) SpeakText("Speech rate set to " + ToString(TruncatedSetting(rate)));
}

void SetSpeechVolume(float volume, bool announce) {
    SpeechOutputState& speech = SpeechOutput();
    speech.volume = volume;
    if (speech.engine.setVolume) speech.engine.setVolume(TruncatedSetting(volume));
    if (announce) SpeakText("Speech volume set to " + ToString(TruncatedSetting(volume)));
}

bool SpeakCapText(const std::string& text, bool force) {
    if (Settings().capSpeech == 0 && !force) return false;
    if (text == "any" || text.starts_with("say") || text.starts_with("Say")) return false;
    SpeechOutputState& speech = SpeechOutput();
    if (IsListed(speech.capVoiceIndex))
        SelectVoice(speech.SpeakersList[static_cast<size_t>(speech.capVoiceIndex)]);
    if (speech.engine.speakCaptain)
        speech.engine.speakCaptain(text);
    else if (speech.engine.speak)
        speech.engine.speak(text);
    speech.lastSpeechKind = 2;
    // Back to the first officer's voice at once, for the lines that follow.
    if (IsListed(speech.currentVoiceIndex))
        SelectVoice(speech.SpeakersList[static_cast<size_t>(speech.currentVoiceIndex)]);
    return true;
}
