// The executer: one flow step per pass, the speech and pose waits, and the idle-animation message.
#include "flow/executer.h"

#include "base/frame_state.h"
#include "base/helpers.h"
#include "base/log.h"
#include "flow/phrase_text.h"
#include "poses/pose_catalogue.h"
#include "simlink/module_protocol.h"
#include "speech/speech_output.h"
#include "speech/voices.h"
#include "systems/logic.h"

#include <cerrno>
#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstdlib>

const char* const kFlowStepTypeNames[kFlowStepTypeCount] = {
    "dotypeSay",     "dotypeSayWait",  "dotypePos",    "dotypePosFast", "dotypePause ",    "dotypeBreak",
    "dotypeComOnce", "dotypeComBegin", "dotypeComEnd", "dotypeCode",    "dotypeComEndNow", "dotypeAnswer",
};

ExecuterState& ExecuterData() {
    static ExecuterState state;
    return state;
}

void ResetExecuter() {
    ExecuterData() = ExecuterState{};
}

bool ReadStepSeconds(const std::string& text, bool singlePrecision, double& seconds) {
    const char* start = text.c_str();
    char* end = nullptr;
    errno = 0;
    double v = std::strtod(start, &end);
    if (end == start || !std::isfinite(v)) return false;
    if (errno == ERANGE && std::fabs(v) > 1.0) return false; // overflow; an underflow reads as about 0
    if (singlePrecision && std::fabs(v) > FLT_MAX) return false;
    seconds = v;
    return true;
}

void SayCaptainsLine(const std::string& text, bool force) {
    if (SpeakCapText(text, force)) ExecuterData().waitSpeechEnd = true;
}

void ExecuteSay(const std::string& text) {
    ExecuterState& ex = ExecuterData();
    ex.recentPhrases.push_front(FormatPhrase(text));
    SpeakText(ex.recentPhrases.front());
    QueueModuleMessage(msgtype_SPEECHSTART, "ExecuteSay msgtype_SPEECHSTART");
}

void ExecuteWaitSay(const std::string& text) {
    ExecuterState& ex = ExecuterData();
    std::string line = text;
    if (text.find('#') != std::string::npos) {
        // Empty alternatives (adjacent or trailing separators) are not candidates; with none left there
        // is nothing to say and nothing to wait for.
        std::vector<std::string> alternatives;
        for (std::string& piece : SplitAt(text, '#'))
            if (!piece.empty()) alternatives.push_back(std::move(piece));
        if (alternatives.empty()) return;
        line = alternatives[static_cast<size_t>(std::rand()) % alternatives.size()];
    }
    ex.recentPhrases.push_front(FormatPhrase(line));
    SpeakText(ex.recentPhrases.front());
    QueueModuleMessage(msgtype_SPEECHSTART, "ExecuteWaitSay msgtype_SPEECHSTART");
    ex.waitSpeechEnd = true;
}

void RunPositionStep(const std::string& poseName, double value) {
    if (FindPose(poseName) >= 0) {
        QueueModuleMessage(kMsgPose, poseName, value);
        return;
    }
    ExecuterData().stepReady = true; // no such pose: the step is skipped
}

void RunCodeStep(const std::string& code, double value) {
    std::string sent = code;
    size_t open = code.find('[');
    size_t close = open == std::string::npos ? std::string::npos : code.find(']', open + 1);
    if (open != std::string::npos && close != std::string::npos) {
        std::string name = code.substr(open + 1, close - open - 1);
        ParamRef ref = ResolveParamRef(-1, -1, -1, name);
        std::string replacement = ref.kind == kRefParameter || ref.kind == kRefSlot
                                      ? TruncatedValueText(GetParamValue(ref))
                                      : std::string("0");
        sent = ReplaceFirst(code, "[" + name + "]", replacement);
    }
    QueueModuleMessage(kMsgCode, sent, value);
}

void PoseReached(uint32_t sequence) {
    AcknowledgeQueueHead(sequence);
    ExecuterData().stepReady = true;
}

namespace {
void RunFrontStep(ExecuterState& ex, double now) {
    FlowStep& step = ex.executeFlow.front();
    double seconds = 0;
    switch (step.type) {
    case dotypeSay:
        ex.stepReady = true;
        if (!step.text.empty() && step.text != "#") ExecuteSay(step.text);
        break;
    case dotypeSayWait:
        ex.stepReady = true;
        if (!step.text.empty() && step.text != "#") ExecuteWaitSay(step.text);
        break;
    case dotypePos:
    case dotypePosFast:
        ex.stepReady = false;
        RunPositionStep(step.text, step.value);
        break;
    case dotypePause:
        ex.stepReady = true;
        if (ReadStepSeconds(step.text, true, seconds))
            ex.pauseUntil = static_cast<float>(now + seconds);
        else
            WriteLog("Pause step skipped, not a number of seconds: " + step.text);
        break;
    case dotypeBreak:
        ex.executeFlow.clear();
        return;
    case dotypeCode:
        ex.stepReady = true;
        RunCodeStep(step.text, step.value);
        break;
    case dotypeAnswer:
        ex.stepReady = true;
        if (ReadStepSeconds(step.text, false, seconds))
            ex.answerDeadlines.push_back({step.text, now + seconds});
        else
            WriteLog("Answer step skipped, not a number of seconds: " + step.text);
        break;
    default:
        break;
    }
    ex.executeFlow.pop_front();
}
} // namespace

void Executer() {
    ExecuterState& ex = ExecuterData();
    const double now = Frame().frameTime;
    if (ex.waitSpeechEnd) {
        if (IsSpeaking()) return;
        ex.waitSpeechEnd = false;
    }
    ex.isLiveAnimationBlocked = !ex.executeFlow.empty() || ex.pauseUntil > now || ex.flowActive;
    if (!ex.isLiveAnimationBlocked && ex.wasLiveAnimationBlocked) QueueModuleMessage(kMsgLiveAnimation);
    ex.wasLiveAnimationBlocked = ex.isLiveAnimationBlocked;
    if (!ex.stepReady || ex.executeFlow.empty() || ex.pauseUntil > now) return;
    RunFrontStep(ex, now);
}
