// Speech output: the first officer's line goes to the log and to the voice engine.
#include "speech/speech_output.h"

#include "app/log.h"
#include "speech/simulated_voice.h"

namespace {
SpeechOutputState Fresh() {
    SpeechOutputState state;
    state.engine = SimulatedSpeechEngine();
    return state;
}
} // namespace

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
