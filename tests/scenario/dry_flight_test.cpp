// The authors' dry flight: both forms of scenario, the procedures and checklists it follows, what still
// waits at the end, pose steps skipped, and the demo 737 flown through the demo's own flight.
#include "base/frame_state.h"
#include "base/log.h"
#include "scenario/dry_flight.h"
#include "tests/fakes/checklist_profile.h"
#include "tests/fakes/test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>

namespace {

class DryFlightTest : public ::testing::Test {
protected:
    void SetUp() override { ResetLog(); }
    void TearDown() override { ResetFrame(); }
    // An aircraft folder with one systems file.
    std::string Profile(const std::string& systems) {
        folder.Write("acf/systems/_systems.txt", "main\n");
        folder.Write("acf/systems/main.txt", systems);
        return folder.path + "/acf";
    }
    static bool Has(const std::vector<std::string>& lines, const std::string& text) {
        return std::any_of(lines.begin(), lines.end(),
                           [&](const std::string& l) { return l.find(text) != std::string::npos; });
    }
    TempFolder folder;
};

TEST_F(DryFlightTest, AChecklistFlownToItsEndIsCleanAndOneLeftWaitingIsNot) {
    const std::string acf = Profile(kBeforeStartChecklist);
    DryFlightReport done = FlyDry(acf, "0 heard before start checklist\n3 heard closed\n6 heard on\n");
    ASSERT_TRUE(done.profileLoaded);
    ASSERT_EQ(done.runs.size(), 1u);
    EXPECT_EQ(done.runs[0].device, "CHECKLIST.BEFORE START");
    EXPECT_GE(done.runs[0].ended, 6.0);
    EXPECT_FALSE(done.runs[0].aborted);
    EXPECT_TRUE(done.waiting.empty());
    EXPECT_TRUE(done.Clean());
    std::vector<std::string> text = DescribeDryFlight(done);
    EXPECT_TRUE(Has(text, "  heard         \"closed\""));
    EXPECT_TRUE(Has(text, "first officer \"Before start checklist complete\""));
    EXPECT_TRUE(Has(text, "expects       \"closed\""));
    EXPECT_TRUE(Has(text, "procedures and checklists: 1 started, 1 finished, 0 aborted, 0 still running"));
    EXPECT_EQ(text.back(), "dry flight: clean");

    // The beacon is never answered: the checklist still runs at the end, waiting at its item.
    ResetLog();
    DryFlightReport open = FlyDry(acf, "0 heard before start checklist\n3 heard closed\n", 30);
    ASSERT_EQ(open.runs.size(), 1u);
    EXPECT_LT(open.runs[0].ended, 0);
    EXPECT_NEAR(open.endTime, 33.0, 0.05) << "flown on until the time after the last input";
    EXPECT_TRUE(Has(open.waiting, "CHECKLIST.BEFORE START waits at its item BEACON"));
    EXPECT_TRUE(Has(open.waiting, "the first officer expects \"on\""));
    EXPECT_FALSE(open.Clean());
    EXPECT_EQ(DescribeDryFlight(open).back(), "dry flight: something to look at (above)");

    // "abort" ends the run as aborted, not finished.
    ResetLog();
    DryFlightReport aborted = FlyDry(acf, "0 heard before start checklist\n3 heard abort\n");
    ASSERT_EQ(aborted.runs.size(), 1u);
    EXPECT_TRUE(aborted.runs[0].aborted);
}

TEST_F(DryFlightTest, TheStandInsScenarioIsFlownWithWhatADryFlightCanDo) {
    const std::string acf = Profile(kBeforeStartChecklist);
    DryFlightReport r = FlyDry(acf, "# the stand-in's form\n"
                                    "clock ready\n"
                                    "posetime 0.5\n"
                                    "set A:SIM ON GROUND 1\n"
                                    "at 0 captain before start checklist\n"
                                    "at +3 captain closed #  a comment\n"
                                    "at +1 foname Anna\n"
                                    "at +1 captain on\n"
                                    "at 40 quit\n");
    EXPECT_TRUE(r.scenarioErrors.empty());
    ASSERT_EQ(r.scenarioNotes.size(), 1u);
    EXPECT_EQ(r.scenarioNotes[0].rfind("line 7: ", 0), 0u) << r.scenarioNotes[0];
    ASSERT_EQ(r.runs.size(), 1u);
    EXPECT_GE(r.runs[0].ended, 5.0 + kCaptainHeardAfter);
    EXPECT_NEAR(r.endTime, 40.0, 0.05) << "the stand-in's quit ends the flight";
    // The captain's phrases are heard a moment after their lines.
    auto heardAt = [&](const std::string& phrase) {
        for (const std::string& line : r.timeline)
            if (line.find("heard         \"" + phrase + "\"") != std::string::npos) return std::stod(line);
        return -1.0;
    };
    EXPECT_NEAR(heardAt("before start checklist"), kCaptainHeardAfter, 0.03);
    EXPECT_NEAR(heardAt("closed"), 3 + kCaptainHeardAfter, 0.03);
    EXPECT_NEAR(heardAt("on"), 5 + kCaptainHeardAfter, 0.03);
}

TEST_F(DryFlightTest, LinesItCannotReadAreReportedWithTheirNumbers) {
    const std::string acf = Profile(kBeforeStartChecklist);
    DryFlightReport standIn = FlyDry(acf, "set A:SIM ON GROUND 1\n"
                                          "at soon captain hello\n"
                                          "fly away\n"
                                          "at 1 captain\n");
    EXPECT_EQ(standIn.scenarioErrors.size(), 3u);
    EXPECT_TRUE(Has(standIn.scenarioErrors, "line 2: at needs a time in seconds"));
    EXPECT_TRUE(Has(standIn.scenarioErrors, "line 3: unknown directive"));
    EXPECT_TRUE(Has(standIn.scenarioErrors, "line 4: unknown action or missing argument"));
    EXPECT_FALSE(standIn.Clean());

    ResetLog();
    DryFlightReport own = FlyDry(acf, "0 heard hello\nlater heard hello\n2 sim A:X\n");
    EXPECT_EQ(own.scenarioErrors.size(), 2u);
    EXPECT_TRUE(Has(own.scenarioErrors, "line 2: "));
    EXPECT_TRUE(Has(own.scenarioErrors, "line 3: "));
    EXPECT_FALSE(own.Clean());
}

TEST_F(DryFlightTest, APoseStepWithoutItsPoseIsReportedAsSkipped) {
    const std::string acf = Profile("sys=COMMANDS\n"
                                    "dev=GEAR\n"
                                    "out=UP,int,,0,,,,,,,,0\n"
                                    "logic:\n"
                                    "instring=gear up\n"
                                    "execute=2,work_gear_lever,1\n"
                                    "execute=0,Gear up,0\n");
    DryFlightReport r = FlyDry(acf, "1 heard gear up\n");
    ASSERT_EQ(r.skippedSteps.size(), 1u);
    EXPECT_NE(r.skippedSteps[0].find("pose work_gear_lever"), std::string::npos);
    EXPECT_TRUE(Has(r.timeline, "skipped       pose work_gear_lever (not in the catalogue)"));
    EXPECT_TRUE(Has(r.timeline, "first officer \"Gear up\"")) << "the flow goes on after the skipped step";
    EXPECT_FALSE(r.Clean());
}

TEST_F(DryFlightTest, TheDemo737FliesTheDemosFlight) {
    std::ifstream in(std::string(TALVERO_SOURCE_DIR) + "/tools/demo/flight.scenario");
    std::stringstream scenario;
    scenario << in.rdbuf();
    ASSERT_FALSE(scenario.str().empty());
    DryFlightReport r = FlyDry(std::string(TALVERO_SOURCE_DIR) + "/data/PM738", scenario.str());
    ASSERT_TRUE(r.profileLoaded);
    EXPECT_TRUE(r.scenarioErrors.empty()) << r.scenarioErrors.front();
    EXPECT_TRUE(r.skippedSteps.empty()) << r.skippedSteps.front();
    EXPECT_TRUE(Has(r.timeline, "heard         \"runway check\""));
    bool beforeStartFinished = false;
    for (const SequenceRun& run : r.runs)
        beforeStartFinished = beforeStartFinished || (run.device.find("BEFORE START") != std::string::npos &&
                                                      run.ended >= 0 && !run.aborted);
    EXPECT_TRUE(beforeStartFinished) << "the before start checklist is flown to its end";
}
} // namespace
