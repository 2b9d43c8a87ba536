// What recognition publishes for the rest of the program: the phrase heard and not yet consumed, and the
// text the widget shows for it. Recognition and widget clicks write it; the monitor reads and clears it,
// and says when it would take any answer.
#pragma once
#include <cstdint>
#include <string>

struct RecognitionState {
    std::string heardPhrase;
    std::string displayPhrase; // "..." stands for "any"
    uint8_t pttFlag = 0;       // push-to-talk: 1 from the module's "RECSTART" to its "RECSTOP"
    uint8_t previousPtt = 0;   // pttFlag as the previous pass saw it
    int recoState = 0;         // 0 not started, 1 idle, 2 listening, 3 waiting for a result, 4 closed
    bool initialised = false;  // the recogniser started
    // Set by the monitor on each pass in which one of the answers it waits for is "any"; cleared by it at
    // the start of each pass.
    bool anyAnswerExpected = false;
};
RecognitionState& Recognition();
void ResetRecognition();
