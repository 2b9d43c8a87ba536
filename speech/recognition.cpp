// Push-to-talk recognition: start-up, the grammar rebuilt from the phrase context, and the poll of each
// pass that turns presses, releases and results into the heard phrase.
#include "speech/recognition.h"

#include "base/frame_state.h"
#include "base/log.h"
#include "base/settings.h"
#include "platform/recogniser.h"
#include "speech/recognition_state.h"
#include "systems/phrase_context.h"

RecogniserChoice& RecogniserInUse() {
    static RecogniserChoice choice{PlatformRecogniser()};
    return choice;
}

namespace {
// The recogniser the settings file names ("recogniser="); anything it does not know is the default.
RecogniserKind ChosenRecogniser() {
    const std::string setting = RecogniserSettingInFile();
    if (setting == "windows") return RecogniserKind::Shared;
    if (setting == "builtin") return RecogniserKind::BuiltIn;
    if (!setting.empty() && setting != "automatic")
        WriteLog("Recognition: the setting recogniser=" + setting +
                 " is not one of automatic, windows, builtin; automatic is used");
    return RecogniserKind::Automatic;
}
} // namespace

Recogniser PlatformRecogniser() {
    Recogniser r;
    r.start = [](const std::vector<std::string>& phrases) {
        RecogniserSetup setup;
        setup.phrases = phrases;
        setup.kind = ChosenRecogniser();
        if (!Frame().wasmWorkPath.empty()) setup.utteranceFolder = Frame().wasmWorkPath + kUtteranceFolder;
        setup.log = [](const std::string& line) { WriteLog(line); };
        setup.trace = [](const std::string& line) { DebugTrace(line, ""); };
        return StartPlatformRecogniser(setup);
    };
    r.setGrammar = SetPlatformGrammar;
    r.listen = SetPlatformListening;
    r.nextResult = NextPlatformResult;
    r.close = ClosePlatformRecogniser;
    return r;
}

bool InitRecognition() {
    RecognitionState& reco = Recognition();
    const Recogniser& r = RecogniserInUse().recogniser;
    reco.initialised = r.start && r.start(PhraseContext().phraseContext);
    if (reco.initialised) reco.recoState = 1;
    return reco.initialised;
}

int ReinitGrammar() {
    const Recogniser& r = RecogniserInUse().recogniser;
    if (Recognition().recoState == 4 || !r.setGrammar) return 1;
    return r.setGrammar(PhraseContext().phraseContext) ? 0 : 1;
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
        if (result == "non" && Recognition().anyAnswerExpected) {
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
    if (r.close) r.close();
}
