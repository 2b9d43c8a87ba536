// The whole program against the simulator stand-in playing the module: DRF indices by messages and by the
// answer file, values coming back in DrfW2E, control words, runways, real mode, the settings file rewritten
// from the module's settings, and the captain's phrases heard through push-to-talk and answered.
#include "tests/e2e/e2e_fixture.h"

#include "base/settings.h"
#include "flow/phrase_text.h"
#include "systems/drf_arrays.h"
#include "speech/recognition_state.h"
#include "speech/simulated_voice.h"
#include "speech/speech_output.h"
#include "systems/logic.h"
#include "systems/model.h"

#include <algorithm>

namespace {
// Lines of the log that start with `prefix`, in order.
std::vector<std::string> LinesStartingWith(const std::string& log, const std::string& prefix) {
    std::vector<std::string> out;
    for (const std::string& line : SplitLines(log))
        if (line.starts_with(prefix)) out.push_back(line);
    return out;
}

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
} // namespace

// The module's two ways of handing out DRF indices reach the same links, and the values it then sends in
// DrfW2E reach the parameters.
TEST_F(EndToEndTest, DrfIndicesAssignedByMessagesAndByTheAnswerFile) {
    for (bool byFile : {false, true}) {
        SCOPED_TRACE(byFile ? "answer file" : "messages");
        auto standIn = StartStandIn({"clock ready", "set A:FUEL TOTAL QUANTITY WEIGHT 10000", "at 0.4 quit"},
                                    [&](standin::StandIn& s) {
                                        FlyTheAirbus(s);
                                        s.options.assignByFile = byFile;
                                    });
        ProgramRun run = Run();
        standIn->Stop();
        EXPECT_EQ(run.exitCode, 0);

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
    auto standIn = StartStandIn(
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
    ProgramRun run = Run();
    standIn->Stop();
    EXPECT_EQ(run.exitCode, 0);

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

// A settings file written by hand in another order, then a change from the module: the file comes back in
// the fixed order, with what was read and what changed, and without a line break after the last line.
TEST_F(EndToEndTest, TheSettingsFileIsRewrittenInTheFixedOrder) {
    temp.Write(
        "MSFS/Community/quillbrook-talvero/data/settings.txt",
        "capspeech=0\r\n# my settings\r\ncap=Boss\r\nvolume=80\r\nreal=0\r\nkr=T\r\n\r\nrate=12.7\r\n");
    auto standIn = StartStandIn({"clock ready", "at 0.1 foname Anna", "at 0.2 username Chief", "at 0.4 quit"},
                                FlyTheAirbus);
    ProgramRun run = Run();
    standIn->Stop();
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(ProgramFile("data/settings.txt"), "voice=1\r\nvolume=80\r\nrate=12\r\ncap=Chief\r\ntvo="
                                                "Anna\r\njsel=\r\nkr=T\r\njr=0\r\njc=1\r\nreal=1\r\n"
                                                "capspeech=0");
    EXPECT_TRUE(
        InOrder(run.log, {"---> SPEECH: Talvero name set as Anna", "---> SPEECH: User name set as Chief"}));
    // The module was told that the settings were read, after the voice's index and before start-up ended.
    std::vector<std::string> transcript = standIn->Transcript();
    std::vector<std::string> types;
    for (const std::string& line : transcript) {
        size_t at = line.find(" type=");
        if (line.find(" MessageE2W seq=") != std::string::npos && at != std::string::npos)
            types.push_back(line.substr(at + 6, line.find(' ', at + 6) - at - 6));
    }
    ASSERT_GE(types.size(), 4u);
    EXPECT_EQ(std::vector<std::string>(types.begin(), types.begin() + 4),
              (std::vector<std::string>{"22", "15", "26", "36"}));
}

// The captain speaks through push-to-talk (the real order: RECSTART, the phrase, RECSTOP); the monitor
// fires the command and the first officer answers with the runways of the day and a value read from the
// simulator.
TEST_F(EndToEndTest, TheCaptainsPhrasesReachTheMonitorAndAreAnswered) {
    auto standIn =
        StartStandIn({"clock ready", "set A:FUEL TOTAL QUANTITY WEIGHT 10000", "at 0.1 runways 27L#09R",
                      "at 0.2 captain runway check", "at 1.5 captain fuel check", "at 3.5 quit"},
                     FlyTheAirbus);
    ProgramRun run = Run();
    standIn->Stop();
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_TRUE(InOrder(run.log, {"-------->RECSTART", "-------->RECSTOP", "recResult = runway check",
                                  "---> SPEECH: Departure runway 27 LEFT, arrival runway 09 RIGHT",
                                  "-------->RECSTART", "-------->RECSTOP", "recResult = fuel check",
                                  "---> SPEECH: Fuel on board 4500 kilograms"}))
        << run.log;
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
    auto standIn =
        StartStandIn({"clock ready", "set A:FUEL TOTAL QUANTITY WEIGHT 10000", "at 0.1 runways 27L#09R",
                      "at 0.5 captain runway check", "at +7 captain fuel check", "at +6 quit"},
                     FlyTheAirbus);
    RunOptions options;
    options.platformSpeech = true;
    options.watchdogSeconds = 40;
    ProgramRun run = Run(options);
    standIn->Stop();
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_FALSE(run.watchdogFired);
    EXPECT_EQ(run.log.find("Recognition Init Failure"), std::string::npos) << run.log;
    EXPECT_TRUE(InOrder(run.log, {"-------->RECSTART", "-------->RECSTOP", "recResult = runway check",
                                  "---> SPEECH: Departure runway 27 LEFT, arrival runway 09 RIGHT",
                                  "-------->RECSTART", "-------->RECSTOP", "recResult = fuel check",
                                  "---> SPEECH: Fuel on board 4500 kilograms"}))
        << run.log;
}

// A second start on the same installation: the 737's package set-up finds its work done, and a settings
// file saved in the first run (the module renamed the first officer) keeps the voice she spoke with.
TEST_F(EndToEndTest, ASecondStartKeepsTheFirstOfficersVoiceAndFindsThePackageSetUpDone) {
    int voice = -1;
    std::string description;
    {
        auto standIn = StartStandIn({"clock ready", "at 0.1 foname Anna", "at 0.3 quit"});
        ProgramRun run = Run();
        EXPECT_EQ(run.exitCode, 0);
        EXPECT_EQ(run.infoBoxes.size(), 2u);
        voice = SpeechOutput().currentVoiceIndex;
        description = SpeechOutput().SpeakersList.at(static_cast<size_t>(voice));
    }
    auto standIn = StartStandIn({"clock ready", "at 0.2 quit"});
    ProgramRun run = Run();
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_TRUE(run.infoBoxes.empty());
    EXPECT_EQ(Settings().officerName, "Anna");
    EXPECT_EQ(SpeechOutput().currentVoiceIndex, voice);
    EXPECT_EQ(SimulatedVoice().descriptions.at(static_cast<size_t>(SimulatedVoice().selectedVoice)),
              description);
    // The module hears the same voice index at both starts (message type 15).
    EXPECT_TRUE(HasLine(standIn->Transcript(),
                        "type=15 system=-1 device=-1 parameter=-1 out=" + std::to_string(voice)));
}
