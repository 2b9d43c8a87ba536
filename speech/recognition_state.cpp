// The heard phrase and its display text.
#include "speech/recognition_state.h"

RecognitionState& Recognition() {
    static RecognitionState state;
    return state;
}

void ResetRecognition() {
    Recognition() = RecognitionState{};
}
