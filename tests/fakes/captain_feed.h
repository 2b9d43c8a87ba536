// The captain's feed: a fake recogniser that "hears" the lines a test writes to "captain.txt" in the
// module's work folder, one line per push-to-talk press, in order.
#pragma once
#include "speech/recognition.h"

#include <string>
#include <vector>

Recogniser CaptainFeedRecogniser();
struct CaptainFeedState {
    size_t consumed = 0;              // lines of the feed already heard
    std::vector<std::string> results; // recognised and not yet fetched
    std::vector<std::string> grammar; // the phrases of the last grammar given
    bool listening = false;
};
CaptainFeedState& CaptainFeed();
