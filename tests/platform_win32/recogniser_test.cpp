// The Windows recogniser: its start-up, grammar, listening, result and close sequences against stand-in
// SAPI objects, and the start-up failure under wine, which has no shared recogniser.
#include "platform/win32/sapi_speech.h"

#include "platform/win32/sapi_support.h"
#include "tests/platform_win32/fake_sapi.h"
#include "tests/platform_win32/under_wine.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using ::testing::ElementsAre;

namespace {

std::vector<std::string> traces, logLines;
void Trace(const std::string& line) {
    traces.push_back(line);
}
void LogLine(const std::string& line) {
    logLines.push_back(line);
}

class RecogniserTest : public ::testing::Test {
protected:
    void SetUp() override {
        CloseSapiRecogniser();
        traces.clear();
    }
    void TearDown() override { CloseSapiRecogniser(); }

    bool Start(const std::vector<std::string>& phrases) {
        recognizer.AddRef();
        return StartRecognitionWith(&recognizer, phrases, Trace);
    }
    FakeContext& NewestContext() { return *recognizer.contexts.back(); }

    FakeSapi sapi;
    FakeRecognizer recognizer{sapi, "recognizer"};
};

const std::vector<std::string> kPhrases = {"gear up", "flaps five", "caf\xe9"};

} // namespace

TEST_F(RecogniserTest, StartsUnderWineFailAtTheRecogniserItselfAndLeaveTheRestHarmless) {
    if (!UnderWine()) GTEST_SKIP() << "only wine is known to lack the shared recogniser";
    RecogniserSetup setup;
    setup.phrases = kPhrases;
    setup.trace = Trace;
    EXPECT_FALSE(StartSapiRecogniser(setup));
    EXPECT_THAT(traces, ElementsAre("Error HRESULT = Class not registered",
                                    "Recognize Engine Initialisation ERROR: CoCreateInstance"));
    EXPECT_FALSE(SetSapiGrammar(kPhrases));
    SetSapiListening(true);
    SetSapiListening(false);
    EXPECT_EQ(NextSapiResult(), "non");
    CloseSapiRecogniser();
    CloseSapiRecogniser();
    EXPECT_EQ(RecogniseSamples(kPhrases, std::vector<int16_t>(1600), 16000), "non");
}

TEST_F(RecogniserTest, StartBuildsOneRuleOfThePhrasesAndLeavesTheRecogniserDeaf) {
    ASSERT_TRUE(Start(kPhrases));
    const std::string transition = " from=initial to=end separators=' ' type=1 weight=1.000000 property=none";
    EXPECT_THAT(sapi.calls,
                ElementsAre("CreateRecoContext", "Pause 0", "CreateGrammar 0", "ResetGrammar 0x809",
                            "GetRule ruleName1 0 0x3 1", "AddWordTransition gear up" + transition,
                            "AddWordTransition flaps five" + transition,
                            "AddWordTransition caf\xe9" + transition, "Commit 0", "SetNotifyWin32Event",
                            "GetNotifyEventHandle", "SetInterest 0x84240000000 0x84240000000",
                            "SetRuleState ruleName1 none 1", "Resume 0", "SetRecoState 3"));
    EXPECT_TRUE(traces.empty());
    // Widened byte by byte: the 8-bit é is one UTF-16 unit of the same value.
    ASSERT_EQ(sapi.words.size(), 3u);
    EXPECT_EQ(sapi.words[2], std::wstring(L"caf\u00e9"));
}

TEST_F(RecogniserTest, AFailingStepStopsTheStartAndIsNamed) {
    struct Case {
        std::string method;
        HRESULT answer;
        std::string text;
        std::string step;
    };
    const Case cases[] = {
        {"CreateRecoContext", E_ACCESSDENIED, "Acces Denied.", "CreateRecoContext"},
        {"Pause", E_FAIL, "Failure", "Pause(0)"},
        {"SetNotifyWin32Event", E_OUTOFMEMORY, "Out of memory.", "init_grammar"},
        {"SetInterest", E_INVALIDARG, "One or more arguments are invalids.", "SetInterest"},
        {"SetRuleState", S_FALSE, "Unknown : 1", "SetRuleState"},
        {"Resume", E_UNEXPECTED, "Unexpecter error.", "Resume(0)"},
        {"SetRecoState", static_cast<HRESULT>(0x80045001), "Unknown : -2147201023", "SetRecoState"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.method);
        CloseSapiRecogniser();
        traces.clear();
        sapi.calls.clear();
        sapi.answers = {{c.method, c.answer}};
        EXPECT_FALSE(Start({"gear up"}));
        EXPECT_THAT(traces, ElementsAre("Error HRESULT = " + c.text,
                                        "Recognize Engine Initialisation ERROR: " + c.step));
        ASSERT_FALSE(sapi.calls.empty());
        EXPECT_EQ(sapi.calls.back().substr(0, c.method.size()), c.method)
            << "nothing runs after the failing step";
    }
}

TEST_F(RecogniserTest, GrammarErrorsAreTracedButTheGrammarIsStillBuilt) {
    sapi.answers = {{"ResetGrammar", E_FAIL}, {"AddWordTransition flaps five", E_INVALIDARG}};
    EXPECT_TRUE(Start(kPhrases));
    EXPECT_THAT(traces, ElementsAre("Error HRESULT = Failure",
                                    "Error HRESULT = One or more arguments are invalids."));
    EXPECT_EQ(sapi.words.size(), 3u);
    EXPECT_EQ(sapi.calls.back(), "SetRecoState 3");
}

TEST_F(RecogniserTest, WithoutAGrammarTheRuleCannotBeSwitchedOn) {
    sapi.answers = {{"CreateGrammar", E_OUTOFMEMORY}};
    EXPECT_FALSE(Start(kPhrases));
    EXPECT_THAT(traces, ElementsAre("Error HRESULT = Out of memory.", "Error HRESULT = Invalid pointer.",
                                    "Recognize Engine Initialisation ERROR: SetRuleState"));
}

TEST_F(RecogniserTest, AMissingContextFailsTheStartSilentlyAndTheRebuildWithItsName) {
    sapi.noContext = true;
    EXPECT_FALSE(Start(kPhrases));
    EXPECT_TRUE(traces.empty());
    EXPECT_FALSE(SetSapiGrammar(kPhrases));
    EXPECT_THAT(traces, ElementsAre("Error HRESULT = Invalid pointer.",
                                    "Recognize Engine Initialisation ERROR: CreateRecoContext"));
    EXPECT_THAT(sapi.calls, ElementsAre("CreateRecoContext", "CreateRecoContext"));
}

TEST_F(RecogniserTest, ARebuildReplacesContextAndGrammarOnTheSameRecogniser) {
    EXPECT_FALSE(SetSapiGrammar(kPhrases)) << "no recogniser yet";
    EXPECT_TRUE(sapi.calls.empty());
    ASSERT_TRUE(Start(kPhrases));
    sapi.calls.clear();
    ASSERT_TRUE(SetSapiGrammar({"one", "two"}));
    ASSERT_EQ(recognizer.contexts.size(), 2u);
    EXPECT_THAT(
        std::vector<std::string>(sapi.calls.begin(), sapi.calls.begin() + 4),
        ElementsAre("CreateRecoContext", "grammar of context 1 released", "context 1 released", "Pause 0"));
    EXPECT_EQ(sapi.calls.back(), "SetRecoState 3");
    EXPECT_EQ(recognizer.refs, 1u);
    // Results now come from the new context.
    FakeResult result(sapi, L"two");
    sapi.events.push_back(MakeEvent(SPEI_RECOGNITION, &result));
    EXPECT_EQ(NextSapiResult(), "two");
}

TEST_F(RecogniserTest, ResultsAreTheRecognisedTextOrNon) {
    struct Case {
        const char* name;
        bool queue;
        SPEVENTENUM id;
        const wchar_t* text;
        HRESULT getEvents;
        HRESULT getText;
        std::string expected;
    };
    const Case cases[] = {
        {"nothing queued", false, SPEI_RECOGNITION, nullptr, S_OK, S_OK, "non"},
        {"events unreadable", true, SPEI_RECOGNITION, L"gear up", E_FAIL, S_OK, "non"},
        {"false recognition", true, SPEI_FALSE_RECOGNITION, L"gear up", S_OK, S_OK, "non"},
        {"recognition", true, SPEI_RECOGNITION, L"gear up", S_OK, S_OK, "gear up"},
        {"wide text keeps the low bytes", true, SPEI_RECOGNITION, L"\u0141ights \u00e9", S_OK, S_OK,
         "Aights \xe9"},
        {"text unreadable", true, SPEI_RECOGNITION, L"gear up", S_OK, E_FAIL, "non"},
    };
    ASSERT_TRUE(Start(kPhrases));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        sapi.calls.clear();
        sapi.events.clear();
        sapi.answers = {{"GetEvents", c.getEvents}, {"GetText", c.getText}};
        FakeResult result(sapi, c.text != nullptr ? c.text : L"");
        if (c.queue) sapi.events.push_back(MakeEvent(c.id, &result));
        EXPECT_EQ(NextSapiResult(), c.expected);
        ASSERT_FALSE(sapi.calls.empty());
        EXPECT_EQ(sapi.calls.front(), "GetEvents 1 none");
        if (c.id == SPEI_RECOGNITION && c.queue && c.getEvents == S_OK) {
            EXPECT_THAT(sapi.calls, ElementsAre("GetEvents 1 none", "GetPhrase",
                                                "GetText 0xffffffff 0xffffffff 0 none", "result released"));
        }
        // The fetched event's result object is released whatever it was.
        if (c.queue && c.getEvents == S_OK) {
            EXPECT_EQ(result.refs, 0u);
        }
        sapi.events.clear();
    }
    EXPECT_TRUE(traces.empty());
}

TEST_F(RecogniserTest, PushToTalkSwitchesTheRecogniserAndCloseReleasesEverythingInOrder) {
    ASSERT_TRUE(Start(kPhrases));
    sapi.calls.clear();
    SetSapiListening(true);
    SetSapiListening(false);
    EXPECT_THAT(sapi.calls, ElementsAre("SetRecoState 1", "SetRecoState 3"));
    sapi.calls.clear();
    CloseSapiRecogniser();
    CloseSapiRecogniser();
    EXPECT_THAT(sapi.calls,
                ElementsAre("grammar of context 1 released", "context 1 released", "recognizer released"));
    EXPECT_EQ(NextSapiResult(), "non");
    SetSapiListening(true);
    EXPECT_EQ(sapi.calls.size(), 3u) << "nothing reaches released objects";
}

TEST_F(RecogniserTest, PhrasesWithSlotsAreLeftOutOfTheSharedGrammarAndNamedInOneLogLine) {
    logLines.clear();
    SapiRecogniser().log = LogLine;
    ASSERT_TRUE(Start({"gear up", "set heading {digits 3}", "flaps {one|five}", "set standard"}));
    SapiRecogniser().log = nullptr;
    std::vector<std::string> transitions;
    for (const std::string& call : sapi.calls)
        if (call.rfind("AddWordTransition ", 0) == 0)
            transitions.push_back(call.substr(0, call.find(" from=")));
    EXPECT_THAT(transitions, ElementsAre("AddWordTransition gear up", "AddWordTransition set standard"));
    EXPECT_THAT(logLines,
                ElementsAre("Recognition: Windows' shared recogniser cannot hear values; phrases with "
                            "slots left out: set heading {digits 3}, flaps {one|five}"));
}
