// Speech output in the first officer's voice, as the rest of the program reaches it: speak a line, ask
// whether the voice is still talking, read the engine's status. The engine behind it is the platform's
// synthesiser; tests and the scenario runner put the simulated voice in its place.
#pragma once
#include <string>
#include <vector>

// The engine's running state and current phoneme, as the speech monitor reads them.
struct SpeechStatus {
    int runningState = 0; // kSpeechSpeaking while a line is being spoken
    int phonemeId = 0;
};
inline constexpr int kSpeechSpeaking = 2;

// The voice engine: queues a line without blocking, reports its status, and offers its installed voices.
// Any operation may be empty; an empty one does nothing (no voices, a silent status).
struct SpeechEngine {
    void (*speak)(const std::string& text) = nullptr; // in the selected voice
    SpeechStatus (*status)() = nullptr;
    // The descriptions of the installed voices, in the engine's own order (all languages).
    std::vector<std::string> (*voiceDescriptions)() = nullptr;
    // Makes the voice at this position of voiceDescriptions the one that speaks the next lines.
    void (*selectVoice)(int position) = nullptr;
    // Settings 0..100 arrive as -11..11: an engine whose range is narrower keeps to its own ends.
    void (*setRate)(int rate) = nullptr;
    void (*setVolume)(int volume) = nullptr; // 0..100 from the settings; the engine keeps to its range
    // A captain's line, spoken in the voice selected just before; empty: `speak` takes it.
    void (*speakCaptain)(const std::string& text) = nullptr;
    bool (*start)() = nullptr; // at speech start-up; false: no synthesiser, the other operations do nothing
    void (*stop)() = nullptr;  // at shut-down
};

struct SpeechOutputState {
    SpeechEngine engine;    // an empty engine makes speaking a no-op and the status silent
    int lastSpeechKind = 0; // 1 after a first-officer line, 2 after a captain line; never reset
    // The usable voices: the engine's descriptions that contain "English", in its order. Positions in
    // this list are the voice numbers of the settings file and of the module's messages.
    std::vector<std::string> SpeakersList;
    int currentVoiceIndex = 0; // the first officer's voice
    int capVoiceIndex = 0;     // the voice that reads the captain's phrases aloud
    float engineRate = 0;      // last rate given to the engine, before truncation (-11..11)
    float volume = 0;          // last volume given to the engine, before truncation
};
SpeechOutputState& SpeechOutput();
// Back to the start-up state, with the platform's synthesiser (not yet started) as the engine.
void ResetSpeechOutput();
// The platform's synthesiser as a speech engine.
SpeechEngine PlatformSpeechEngine();
// Shut-down: the engine stops speaking and lets its resources go.
void StopSpeechOutput();

// The first officer speaks: logs "---> SPEECH: " + text and queues the line on the engine.
void SpeakText(const std::string& text);
// True while the engine's running state is the speaking state.
bool IsSpeaking();
SpeechStatus GetSpeechStatus();
