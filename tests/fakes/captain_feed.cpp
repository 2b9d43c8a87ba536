// The captain's feed recogniser for tests.
#include "tests/fakes/captain_feed.h"

#include "app/frame.h"
#include "base/helpers.h"

CaptainFeedState& CaptainFeed() {
    static CaptainFeedState state;
    return state;
}

namespace {
std::string FeedPath() { return Frame().wasmWorkPath + "captain.txt"; }
} // namespace

Recogniser CaptainFeedRecogniser() {
    Recogniser r;
    r.start = [](const std::vector<std::string>& phrases) {
        CaptainFeed() = CaptainFeedState{};
        CaptainFeed().grammar = phrases;
        // Lines written before the start are not the captain's words to this run.
        CaptainFeed().consumed = ReadLines(FeedPath()).size();
        return true;
    };
    r.setGrammar = [](const std::vector<std::string>& phrases) {
        CaptainFeed().grammar = phrases;
        return true;
    };
    r.listen = [](bool active) {
        CaptainFeedState& feed = CaptainFeed();
        feed.listening = active;
        if (active) return;
        std::vector<std::string> lines = ReadLines(FeedPath());
        if (feed.consumed < lines.size()) feed.results.push_back(lines[feed.consumed++]);
    };
    r.nextResult = [] {
        CaptainFeedState& feed = CaptainFeed();
        if (feed.results.empty()) return std::string("non");
        std::string result = feed.results.front();
        feed.results.erase(feed.results.begin());
        return result;
    };
    return r;
}
