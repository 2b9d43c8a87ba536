// The simulated voice: lines queue back to back on the frame clock, in the voice chosen when queued.
#include "speech/simulated_voice.h"

#include "base/frame_state.h"

#include <algorithm>

namespace {
void Queue(const std::string& text, bool captain) {
    SimulatedVoiceState& voice = SimulatedVoice();
    double start = std::max(Frame().frameTime, voice.speakingUntil);
    voice.speakingUntil = start + SimulatedSpeechSeconds(text);
    ++voice.linesQueued;
    voice.lastLine = text;
    voice.lastLineVoice = voice.selectedVoice;
    voice.lastLineCaptain = captain;
}
} // namespace

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
    Queue(text, false);
}

void SimulatedSpeakCaptain(const std::string& text) {
    Queue(text, true);
}

SpeechStatus SimulatedSpeechStatus() {
    SpeechStatus status;
    if (Frame().frameTime < SimulatedVoice().speakingUntil) {
        status.runningState = kSpeechSpeaking;
        status.phonemeId = 1; // any phoneme but the pause
    }
    return status;
}

std::vector<std::string> SimulatedVoiceDescriptions() {
    return SimulatedVoice().descriptions;
}

void SimulatedSelectVoice(int position) {
    SimulatedVoiceState& voice = SimulatedVoice();
    if (position >= 0 && static_cast<size_t>(position) < voice.descriptions.size())
        voice.selectedVoice = position;
}

void SimulatedSetRate(int rate) {
    SimulatedVoice().rate = rate;
}

void SimulatedSetVolume(int volume) {
    SimulatedVoice().volume = volume;
}

SpeechEngine SimulatedSpeechEngine() {
    SpeechEngine engine;
    engine.speak = SimulatedSpeak;
    engine.status = SimulatedSpeechStatus;
    engine.voiceDescriptions = SimulatedVoiceDescriptions;
    engine.selectVoice = SimulatedSelectVoice;
    engine.setRate = SimulatedSetRate;
    engine.setVolume = SimulatedSetVolume;
    engine.speakCaptain = SimulatedSpeakCaptain;
    return engine;
}

void UseSimulatedVoice() {
    ResetSimulatedVoice();
    SpeechOutput().engine = SimulatedSpeechEngine();
}
