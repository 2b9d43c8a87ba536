// Push-to-talk recognition and the captain's feed recogniser.
#include "speech/recognition.h"

#include "app/frame.h"
#include "app/helpers.h"
#include "app/log.h"
#include "flow/monitor.h"
#include "speech/phrase_context.h"
#include "speech/recognition_state.h"

RecogniserChoice& RecogniserInUse() {
    static RecogniserChoice choice{CaptainFeedRecogniser()};
    return choice;
}

bool InitRecognition() {
    RecognitionState& reco = Recognition();
    const Recogniser& r = RecogniserInUse().recogniser;
    reco.initialised = r.start && r.start(PhraseContext().phraseContext);
    if (reco.initialised) reco.recoState = 1;
    return reco.initialised;
}

void PollRecognition() {
    RecognitionState& reco = Recognition();
    const Recogniser& r = RecogniserInUse().recogniser;
    uint8_t now = reco.pttFlag, before = reco.previousPtt;
    if (now > before && reco.initialised) {
        WriteLog("-------->RECSTART");
        if (r.listen) r.listen(true);
        reco.recoState = 2;
    } else if (now < before && reco.recoState == 2) {
        if (reco.initialised) {
            WriteLog("-------->RECSTOP");
            if (r.listen) r.listen(false);
            reco.recoState = 3;
        }
    } else if (reco.recoState == 3 && reco.initialised) {
        std::string result = r.nextResult ? r.nextResult() : std::string("non");
        if (result == "non" && MonitorData().anyAnswerExpected) {
            result = "any";
            WriteLog("RecResult = any");
        }
        if (result != "non" && result != reco.heardPhrase) {
            WriteLog("recResult = " + result);
            reco.heardPhrase = result;
            reco.displayPhrase = result == "any" ? "..." : result;
            reco.recoState = 1;
        }
    }
    reco.previousPtt = now;
}

void CloseRecognition() {
    RecognitionState& reco = Recognition();
    if (reco.recoState == 4) return;
    reco.recoState = 4;
    const Recogniser& r = RecogniserInUse().recogniser;
    if (reco.initialised && r.close) r.close();
}

CaptainFeedState& CaptainFeed() {
    static CaptainFeedState state;
    return state;
}

namespace {
std::string FeedPath() { return Frame().wasmWorkPath + "captain.txt"; }
} // namespace

Recogniser CaptainFeedRecogniser() {
    Recogniser r;
    r.start = [](const std::vector<std::string>&) {
        CaptainFeed() = CaptainFeedState{};
        // Lines written before this run are not the captain's words to this run.
        CaptainFeed().consumed = ReadLines(FeedPath()).size();
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
