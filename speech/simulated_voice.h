// The simulated voice: a stand-in speech engine on the frame clock, for tests and the scenario runner. Lines queue one behind the other and
// each is "spoken" for a time that grows with its length, so waits on speech really wait, in tests and in
// runs without a synthesiser. It offers a few voices, and keeps the chosen voice, rate and volume and the
// last line where tests and the demo can see them.
#pragma once
#include "speech/speech_output.h"

#include <string>
#include <vector>

struct SimulatedVoiceState {
    double speakingUntil = 0; // frame time at which the last queued line ends
    double secondsPerCharacter = 0.06;
    double minimumSeconds = 0.4; // even a one-word line takes this long
    long long linesQueued = 0;
    // The installed voices as the engine describes them: two English ones and one that is not.
    std::vector<std::string> descriptions = {"Simulated David - English (United States)",
                                             "Simulated Hedda - German (Germany)",
                                             "Simulated Zira - English (United States)"};
    int selectedVoice = 0; // position in descriptions of the voice that speaks
    int rate = 0;          // as last received
    int volume = 100;      // as last received
    std::string lastLine;  // the last line queued, its voice, and whether it was the captain's
    int lastLineVoice = -1;
    bool lastLineCaptain = false;
};
SimulatedVoiceState& SimulatedVoice();
void ResetSimulatedVoice();

// Seconds the simulated voice takes for `text`.
double SimulatedSpeechSeconds(const std::string& text);
// The engine operations: queue a line at the current frame time; speaking while the frame time is before
// the end of the last queued line.
void SimulatedSpeak(const std::string& text);
void SimulatedSpeakCaptain(const std::string& text);
SpeechStatus SimulatedSpeechStatus();
std::vector<std::string> SimulatedVoiceDescriptions();
// A position outside the installed voices leaves the voice as it was.
void SimulatedSelectVoice(int position);
void SimulatedSetRate(int rate);
void SimulatedSetVolume(int volume);
SpeechEngine SimulatedSpeechEngine();
// Resets the simulated voice and makes it the engine of speech output.
void UseSimulatedVoice();
