// The captain's voice: where the platform can speak into samples, each captain's phrase of a scenario is
// spoken in the captain's voice with a faint microphone hiss and dropped into the module's work folder
// as a WAV file just before push-to-talk is pressed, so the program's recogniser hears it as a pilot's
// utterance.
#include "tools/simstandin/standin.h"

#include "platform/voice.h"
#include "platform/audio_clip.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>

namespace standin {

namespace {
// The captain speaks in the voice the program reads the captain's phrases with: the last English voice
// that names David, else the first voice.
int CaptainVoicePosition() {
    std::vector<std::string> voices = RenderableVoiceDescriptions();
    int position = 0;
    for (size_t i = 0; i < voices.size(); ++i)
        if (voices[i].find("English") != std::string::npos && voices[i].find("David") != std::string::npos)
            position = static_cast<int>(i);
    return position;
}
} // namespace

std::vector<int16_t> SpeakCaptainPhrase(const std::string& phrase) {
    static const int voice = CaptainVoicePosition();
    AudioClip clip;
    clip.sampleRate = kUtteranceRate;
    clip.samples = RenderPlatformSpeech(phrase, voice, 0, kUtteranceRate);
    if (clip.samples.empty()) return {};
    // A microphone is never digitally silent.
    AddNoiseFloor(clip, 3.0, static_cast<uint32_t>(std::hash<std::string>{}(phrase)));
    return clip.samples;
}

double CaptainHoldSeconds(const std::vector<int16_t>& utterance) {
    double spoken = static_cast<double>(utterance.size()) / kUtteranceRate;
    return std::max(kCaptainPhraseSeconds, spoken + 0.4);
}

std::string DropUtterance(StandIn& s, const std::vector<int16_t>& utterance) {
    if (utterance.empty() || s.options.workFolder.empty()) return {};
    std::error_code ec;
    std::filesystem::create_directories(UtteranceFolder(s), ec);
    char name[32];
    std::snprintf(name, sizeof name, "utterance-%04d.wav", ++s.utterancesDropped);
    std::string path = UtteranceFolder(s) + "/" + name;
    AudioClip clip;
    clip.sampleRate = kUtteranceRate;
    clip.samples = utterance;
    return WriteWav(path, clip) ? path : std::string();
}

std::string UtteranceFolder(const StandIn& s) {
    return s.options.workFolder + "/utterances";
}

} // namespace standin
