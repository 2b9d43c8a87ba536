// The executer: runs the queued flow steps one at a time, once per main-loop pass, waiting as each step
// requires (a pause, the voice falling silent, the module reporting a pose), and tells the module when the
// avatar's idle animation may resume.
#pragma once
#include "flow/flow_queue.h"

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

// Step types, in the order of the step-type vocabulary.
enum : int32_t {
    dotypeSay = 0,
    dotypeSayWait = 1,
    dotypePos = 2,
    dotypePosFast = 3,
    dotypePause = 4,
    dotypeBreak = 5,
    dotypeComOnce = 6,
    dotypeComBegin = 7,
    dotypeComEnd = 8,
    dotypeCode = 9,
    dotypeComEndNow = 10,
    dotypeAnswer = 11,
};
inline constexpr int32_t kFlowStepTypeCount = 12;
// The step-type vocabulary, indexed by type ("dotypePause " ends with a blank).
extern const char* const kFlowStepTypeNames[kFlowStepTypeCount];

// An expected answer with a lifetime, in seconds of frame time.
struct AnswerDeadline {
    std::string text;
    double deadline = 0;
};

struct ExecuterState {
    FlowQueue executeFlow;
    bool stepReady = true;      // cleared by a pose step, set again by the module's pose report
    bool waitSpeechEnd = false; // the executer idles until the voice is silent
    float pauseUntil = 0;       // frame time before which the queue stands still
    bool flowActive = false; // set by the monitor each pass: a sequential device is in the middle of its flow
    bool isLiveAnimationBlocked = false;
    bool wasLiveAnimationBlocked = false;
    std::deque<std::string> recentPhrases;       // every line spoken, newest first
    std::vector<AnswerDeadline> answerDeadlines; // shared with the monitor, which expires them
};
ExecuterState& ExecuterData();
void ResetExecuter();

// One step of the engine; once per pass, after the monitor.
void Executer();
// The captain's line in the captain's voice (when captain speech is on, or `force`), and the flow waits
// until it has been spoken: a phrase chosen in the widget, the module's captain's-voice switch.
void SayCaptainsLine(const std::string& text, bool force);
// Speaks one line at once (no alternatives: a "#" is spoken as written).
void ExecuteSay(const std::string& text);
// Speaks one of the "#"-separated alternatives and makes the executer wait until it has been spoken.
void ExecuteWaitSay(const std::string& text);
void RunPositionStep(const std::string& poseName, double value);
void RunCodeStep(const std::string& code, double value);

// The module's pose report (type 8): acknowledges the queue head when the sequence is the head's, and
// lets the executer go on in any case.
void PoseReached(uint32_t sequence);

// A number of seconds as pause and answer steps read it: leading blanks skipped, the longest number at the
// start taken. False when there is none, or when it is infinite, not a number, or beyond the range of a
// single-precision float (`singlePrecision`, pauses) or of a double (answers); such a step is skipped.
bool ReadStepSeconds(const std::string& text, bool singlePrecision, double& seconds);
