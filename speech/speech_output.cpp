// Speech output: the first officer's line goes to the log and to the voice engine.
#include "speech/speech_output.h"

#include "base/log.h"
#include "platform/voice.h"

namespace {
SpeechOutputState Fresh() {
    SpeechOutputState state;
    state.engine = PlatformSpeechEngine();
    return state;
}
} // namespace

SpeechEngine PlatformSpeechEngine() {
    SpeechEngine engine;
    engine.start = [] {
        bool started = StartPlatformVoice();
        // Where the platform chose between synthesisers, the log says which speaks and why.
        const std::string choice = PlatformVoiceChoice();
        if (!choice.empty()) WriteLog(choice);
        return started;
    };
    engine.stop = StopPlatformVoice;
    engine.speak = PlatformSpeak;
    engine.status = [] {
        PlatformVoiceStatus now = GetPlatformVoiceStatus();
        SpeechStatus status;
        if (now.speaking) status.runningState = kSpeechSpeaking;
        status.phonemeId = now.phonemeId;
        return status;
    };
    engine.voiceDescriptions = PlatformVoiceDescriptions;
    engine.selectVoice = SelectPlatformVoice;
    engine.setRate = SetPlatformVoiceRate;
    engine.setVolume = SetPlatformVoiceVolume;
    return engine;
}

void StopSpeechOutput() {
    const SpeechOutputState& speech = SpeechOutput();
    if (speech.engine.stop) speech.engine.stop();
}

SpeechOutputState& SpeechOutput() {
    static SpeechOutputState state = Fresh();
    return state;
}

void ResetSpeechOutput() {
    SpeechOutput() = Fresh();
}

void SpeakText(const std::string& text) {
    SpeechOutputState& speech = SpeechOutput();
    WriteLog("---> SPEECH: " + text);
    if (speech.engine.speak) speech.engine.speak(text);
    speech.lastSpeechKind = 1;
}

SpeechStatus GetSpeechStatus() {
    const SpeechOutputState& speech = SpeechOutput();
    return speech.engine.status ? speech.engine.status() : SpeechStatus{};
}

bool IsSpeaking() {
    return GetSpeechStatus().runningState == kSpeechSpeaking;
}
