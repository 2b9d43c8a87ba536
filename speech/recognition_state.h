// What recognition publishes for the rest of the program: the phrase heard and not yet consumed, and the
// text the widget shows for it. Recognition and widget clicks write it; the monitor reads and clears it.
#pragma once
#include <string>

struct RecognitionState {
    std::string heardPhrase;
    std::string displayPhrase; // "..." stands for "any"
};
RecognitionState& Recognition();
void ResetRecognition();
