// Speech output in the first officer's voice, as the rest of the program reaches it: speak a line, ask
// whether the voice is still talking, read the engine's status. The engine behind it is swappable: the
// simulated voice by default, the platform's synthesiser once speech start-up has chosen it.
#pragma once
#include <string>

// The engine's running state and current phoneme, as the speech monitor reads them.
struct SpeechStatus {
    int runningState = 0; // kSpeechSpeaking while a line is being spoken
    int phonemeId = 0;
};
inline constexpr int kSpeechSpeaking = 2;

// The voice engine: queues a line without blocking, and reports its status.
struct SpeechEngine {
    void (*speak)(const std::string& text) = nullptr;
    SpeechStatus (*status)() = nullptr;
};

struct SpeechOutputState {
    SpeechEngine engine;    // an empty engine makes speaking a no-op and the status silent
    int lastSpeechKind = 0; // 1 after a first-officer line, 2 after a captain line; never reset
};
SpeechOutputState& SpeechOutput();
// Back to the start-up state, with the simulated voice as the engine.
void ResetSpeechOutput();

// The first officer speaks: logs "---> SPEECH: " + text and queues the line on the engine.
void SpeakText(const std::string& text);
// True while the engine's running state is the speaking state.
bool IsSpeaking();
SpeechStatus GetSpeechStatus();
