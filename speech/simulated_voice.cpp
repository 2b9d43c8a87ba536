// The simulated voice: lines queue back to back on the frame clock.
#include "speech/simulated_voice.h"

#include "app/frame.h"

#include <algorithm>

SimulatedVoiceState& SimulatedVoice() {
    static SimulatedVoiceState state;
    return state;
}

void ResetSimulatedVoice() {
    SimulatedVoice() = SimulatedVoiceState{};
}

double SimulatedSpeechSeconds(const std::string& text) {
    const SimulatedVoiceState& voice = SimulatedVoice();
    return std::max(voice.minimumSeconds, voice.secondsPerCharacter * static_cast<double>(text.size()));
}

void SimulatedSpeak(const std::string& text) {
    SimulatedVoiceState& voice = SimulatedVoice();
    double start = std::max(Frame().frameTime, voice.speakingUntil);
    voice.speakingUntil = start + SimulatedSpeechSeconds(text);
    ++voice.linesQueued;
}

SpeechStatus SimulatedSpeechStatus() {
    SpeechStatus status;
    if (Frame().frameTime < SimulatedVoice().speakingUntil) {
        status.runningState = kSpeechSpeaking;
        status.phonemeId = 1; // any phoneme but the pause
    }
    return status;
}

SpeechEngine SimulatedSpeechEngine() {
    return SpeechEngine{SimulatedSpeak, SimulatedSpeechStatus};
}
