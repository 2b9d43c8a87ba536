// The whole program against the simulator stand-in playing the module: DRF indices by messages and by the
// answer file, values coming back in DrfW2E, control words, runways, real mode, the settings kept from one
// start to the next, and the captain's phrases heard through push-to-talk and answered.
#include "tests/e2e/e2e_fixture.h"

#include "base/settings.h"
#include "flow/phrase_text.h"
#include "speech/recognition_state.h"
#include "speech/simulated_voice.h"
#include "speech/speech_output.h"
#include "systems/drf_arrays.h"
#include "systems/logic.h"
#include "systems/model.h"

#include <algorithm>

namespace {
// True when every text appears in the log, each on a line after the previous one's.
bool InOrder(const std::string& log, const std::vector<std::string>& texts) {
    std::vector<std::string> lines = SplitLines(log);
    auto at = lines.begin();
    for (const std::string& text : texts) {
        at = std::find(at, lines.end(), text);
        if (at == lines.end()) return false;
        ++at;
    }
    return true;
}

// The captain asks for the runways, then for the fuel: each phrase inside its push-to-talk, then the answer.
const std::vector<std::string> kRunwayAndFuelChecks = {
    "-------->RECSTART",        "-------->RECSTOP",
    "recResult = runway check", "---> SPEECH: Departure runway 27 LEFT, arrival runway 09 RIGHT",
    "-------->RECSTART",        "-------->RECSTOP",
    "recResult = fuel check",   "---> SPEECH: Fuel on board 4500 kilograms"};
} // namespace

// The module's two ways of handing out DRF indices reach the same links, and the values it then sends in
// DrfW2E reach the parameters.
TEST_F(EndToEndTest, DrfIndicesAssignedByMessagesAndByTheAnswerFile) {
    for (bool byFile : {false, true}) {
        SCOPED_TRACE(byFile ? "answer file" : "messages");
        ProgramRun run = Fly({"clock ready", "set A:FUEL TOTAL QUANTITY WEIGHT 10000", "at 0.4 quit"},
                             [&](standin::StandIn& s) {
                                 FlyTheAirbus(s);
                                 s.options.assignByFile = byFile;
                             });

        const std::vector<standin::DrfLinkEntry>& links = standIn->s.links;
        ASSERT_GT(links.size(), 10u);
        auto& systems = Systems().systems_vector;
        for (const standin::DrfLinkEntry& link : links) {
            SCOPED_TRACE(link.spec);
            ASSERT_LT(static_cast<size_t>(link.system), systems.size());
            const OutParameter& p =
                systems[link.system].Devices.at(link.device).outParameters.at(link.parameter);
            const DrfLink& l = link.write ? p.outDrf : p.inDrf;
            EXPECT_EQ(l.spec, link.spec);
            EXPECT_EQ(l.drfIndex, link.index);
            EXPECT_TRUE(l.isActive);
        }
        // 10000 pounds of fuel, read through its link, in kilograms rounded down to 100.
        OutParameter* kilograms = ParameterOf(ResolveParamRef("AIRCRAFT.FUEL.TOTAL_KG"));
        ASSERT_NE(kilograms, nullptr);
        EXPECT_EQ(kilograms->value, 4500);

        std::string list = ProgramFile("data/drf.txt");
        if (byFile) {
            EXPECT_EQ(list, "\r\n"); // one line feed, in text mode
            EXPECT_TRUE(HasLine(SplitLines(run.log),
                                "WorkParh: usage in SetFromFileInDrfArrayID()" + install.work + "drf.txt"));
        } else {
            EXPECT_EQ(std::count(list.begin(), list.end(), '\n'), static_cast<long>(links.size()));
        }
    }
}

// Control words, runways and real mode as the module sends them, each with what the pilot gets from it.
TEST_F(EndToEndTest, ControlWordsRunwaysAndRealMode) {
    ProgramRun run = Fly(
        {
            "clock ready",
            "at 0.1 control SELECT",
            "at 0.15 control CONFIRM",
            "at 0.2 control select",    // compared whole and case-sensitively: nothing happens
            "at 0.25 control RECSTART", // held a while, as a pilot holds the key
            "at 0.6 control RECSTOP",
            "at 0.65 runways 27L#09R",
            "at 0.7 runways 18",        // no "#": the runways stay
            "at 0.75 runways 01#02#03", // two of them: the runways stay
            "at 0.8 realmode 1",
            "at 1.1 quit",
        },
        [](standin::StandIn& s) {
            FlyTheAirbus(s);
            // A trailing blank, which a scenario line cannot keep.
            AddAction(s.scenario, 0.85, "realmode", "1 ");
        });

    EXPECT_EQ(LinesStartingWith(run.log, "ProcessedControlButtonClick()"),
              (std::vector<std::string>{"ProcessedControlButtonClick() inEvent = 1",
                                        "ProcessedControlButtonClick() inEvent = 2"}));
    EXPECT_TRUE(
        InOrder(run.log, {"ProcessedControlButtonClick() inEvent = 2", "-------->RECSTART",
                          "-------->RECSTOP", "---> SPEECH: Real mode set", "---> SPEECH: Real mode off"}))
        << run.log;
    EXPECT_EQ(Recognition().pttFlag, 0);
    EXPECT_EQ(PhraseText().takeoffRunway, "27L");
    EXPECT_EQ(PhraseText().landingRunway, "09R");
    EXPECT_EQ(Settings().realMode, "1 ");
    EXPECT_EQ(ProgramFile("data/settings.txt"), "voice=1\r\nvolume=95\r\nrate=50\r\ncap=Cap\r\ntvo="
                                                "Linda\r\njsel=\r\nkr=R\r\njr=0\r\njc=1\r\nreal=1 \r\n"
                                                "capspeech=1");
    // The Airbus takes no part in the 737's package set-up.
    EXPECT_NE(ReadBytes(install.addOnOptions).find("EnableDataBroadcast = 0"), std::string::npos);
    EXPECT_FALSE(HasLine(SplitLines(run.log), "PmdgPath="));
}

// The captain speaks through push-to-talk (the real order: RECSTART, the phrase, RECSTOP); the monitor
// fires the command and the first officer answers with the runways of the day and a value read from the
// simulator.
TEST_F(EndToEndTest, TheCaptainsPhrasesReachTheMonitorAndAreAnswered) {
    ProgramRun run = Fly({"clock ready", "set A:FUEL TOTAL QUANTITY WEIGHT 10000", "at 0.1 runways 27L#09R",
                          "at 0.2 captain runway check", "at 1.5 captain fuel check", "at 3.5 quit"},
                         FlyTheAirbus);
    EXPECT_TRUE(InOrder(run.log, kRunwayAndFuelChecks)) << run.log;
    // The module heard about the first officer's speech.
    EXPECT_TRUE(HasLine(standIn->Transcript(), "type=9 ")) << "no speech start message";
    EXPECT_EQ(Recognition().heardPhrase, "");
}

// The captain heard for real: the stand-in speaks each phrase in the captain's voice into the module's
// work folder, the program's own recogniser hears it between RECSTART and RECSTOP through the grammar of
// the phrase context, and the first officer answers in her own voice. Both products have the built-in
// recogniser; the Windows one under wine falls back on it, as wine lacks Windows' shared recogniser.
TEST_F(EndToEndTest, TheCaptainIsHeardByThePlatformsOwnRecogniser) {
    ASSERT_FALSE(standin::SpeakCaptainPhrase("runway check").empty()) << "the captain's voice speaks";
    RunOptions options;
    options.platformSpeech = true;
    options.watchdogSeconds = 40;
    ProgramRun run = Fly({"clock ready", "set A:FUEL TOTAL QUANTITY WEIGHT 10000", "at 0.1 runways 27L#09R",
                          "at 0.5 captain runway check", "at +7 captain fuel check", "at +6 quit"},
                         FlyTheAirbus, options);
    EXPECT_FALSE(run.watchdogFired);
    EXPECT_EQ(run.log.find("Recognition Init Failure"), std::string::npos) << run.log;
    EXPECT_TRUE(InOrder(run.log, kRunwayAndFuelChecks)) << run.log;
}

// A second start on the same installation: the 737's package set-up finds its work done, and a settings
// file saved in the first run (the module renamed the first officer) keeps the voice she spoke with.
TEST_F(EndToEndTest, ASecondStartKeepsTheFirstOfficersVoiceAndFindsThePackageSetUpDone) {
    EXPECT_EQ(Fly({"clock ready", "at 0.1 foname Anna", "at 0.3 quit"}).infoBoxes.size(), 2u);
    const int voice = SpeechOutput().currentVoiceIndex;
    const std::string description = SpeechOutput().SpeakersList.at(static_cast<size_t>(voice));
    EXPECT_TRUE(Fly({"clock ready", "at 0.2 quit"}).infoBoxes.empty());
    EXPECT_EQ(Settings().officerName, "Anna");
    EXPECT_EQ(SpeechOutput().currentVoiceIndex, voice);
    EXPECT_EQ(SimulatedVoice().descriptions.at(static_cast<size_t>(SimulatedVoice().selectedVoice)),
              description);
    // The module hears the same voice index at both starts (message type 15).
    EXPECT_TRUE(HasLine(standIn->Transcript(),
                        "type=15 system=-1 device=-1 parameter=-1 out=" + std::to_string(voice)));
}
