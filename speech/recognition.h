// Push-to-talk recognition: the recogniser listens between the module's "RECSTART" and "RECSTOP", and the
// phrase it recognised becomes the heard phrase that the monitor consumes.
#pragma once
#include <string>
#include <vector>

// The recogniser behind recognition: takes the phrases of the grammar, listens on command, and hands
// back queued results one at a time ("non" when there is none or the utterance was rejected).
struct Recogniser {
    bool (*start)(const std::vector<std::string>& phrases) = nullptr;
    bool (*setGrammar)(const std::vector<std::string>& phrases) = nullptr; // false: the old grammar stays
    void (*listen)(bool active) = nullptr;
    std::string (*nextResult)() = nullptr;
    void (*close)() = nullptr;
};

struct RecogniserChoice {
    Recogniser recogniser; // the platform's recogniser; tests put a fake in its place
};
RecogniserChoice& RecogniserInUse();

// The platform's recogniser. Where the platform can take the captain's utterances from recordings (the
// simulator stand-in, authors trying their phrases), they are WAV files dropped into this folder of the
// module's work folder; without the folder it hears the microphone.
Recogniser PlatformRecogniser();
inline constexpr const char* kUtteranceFolder = "utterances";

// Start-up with the phrase context; false (and nothing listens) when the recogniser cannot start.
bool InitRecognition();
// After the systems files are loaded: the grammar anew from the whole phrase context. 0 when it was
// rebuilt, 1 when the recogniser never started or refused the new grammar.
int ReinitGrammar();
// Once per pass, last: presses, releases and results.
void PollRecognition();
// Shut-down: closes the recogniser unless already closed.
void CloseRecognition();
