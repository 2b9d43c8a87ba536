// Push-to-talk recognition: the recogniser listens between the module's "RECSTART" and "RECSTOP", and the
// phrase it recognised becomes the heard phrase that the monitor consumes.
#pragma once
#include <string>
#include <vector>

// The recogniser behind recognition: takes the phrases of the grammar, listens on command, and hands
// back queued results one at a time ("non" when there is none or the utterance was rejected).
struct Recogniser {
    bool (*start)(const std::vector<std::string>& phrases) = nullptr;
    void (*setGrammar)(const std::vector<std::string>& phrases) = nullptr;
    void (*listen)(bool active) = nullptr;
    std::string (*nextResult)() = nullptr;
    void (*close)() = nullptr;
};

struct RecogniserChoice {
    Recogniser recogniser; // the recogniser start-up uses; the captain's feed by default
};
RecogniserChoice& RecogniserInUse();

// Start-up with the phrase context; false (and nothing listens) when the recogniser cannot start.
bool InitRecognition();
// Once per pass, last: presses, releases and results.
void PollRecognition();
// Shut-down: closes the recogniser unless already closed.
void CloseRecognition();

// The captain's feed: a recogniser that "hears" the lines a script writes to "captain.txt" in the module's
// work folder, one line per push-to-talk press, in order. The simulator stand-in writes a line there when
// it presses the push-to-talk control for the captain, so demo runs go through the real order: "RECSTART",
// the phrase, "RECSTOP".
Recogniser CaptainFeedRecogniser();
struct CaptainFeedState {
    size_t consumed = 0;              // lines of the feed already heard
    std::vector<std::string> results; // recognised and not yet fetched
    bool listening = false;
};
CaptainFeedState& CaptainFeed();
