// The simulated voice: a stand-in speech engine on the frame clock. Lines queue one behind the other and
// each is "spoken" for a time that grows with its length, so waits on speech really wait, in tests and in
// runs without a synthesiser.
#pragma once
#include "speech/speech_output.h"

#include <string>

struct SimulatedVoiceState {
    double speakingUntil = 0; // frame time at which the last queued line ends
    double secondsPerCharacter = 0.06;
    double minimumSeconds = 0.4; // even a one-word line takes this long
    long long linesQueued = 0;
};
SimulatedVoiceState& SimulatedVoice();
void ResetSimulatedVoice();

// Seconds the simulated voice takes for `text`.
double SimulatedSpeechSeconds(const std::string& text);
// The engine operations: queue a line at the current frame time; speaking while the frame time is before
// the end of the last queued line.
void SimulatedSpeak(const std::string& text);
SpeechStatus SimulatedSpeechStatus();
SpeechEngine SimulatedSpeechEngine();
