// The demo aircraft profiles under data/: they load with nothing left out, their enciphered files match
// their plain sources, and their logic means what it says.
#include "base/helpers.h"
#include "systems/profile_check.h"
#include "systems/sealing.h"
#include "tests/systems/systems_fixture.h"

#include <algorithm>
#include <filesystem>
#include <iostream>

namespace {
const std::string kSource = TALVERO_SOURCE_DIR;

struct DemoProfileTest : SystemsTest, ::testing::WithParamInterface<const char*> {
    std::string Aircraft() const { return kSource + "/data/" + GetParam(); }
    void LoadDemo() {
        Frame().AcfPath = Aircraft();
        ScanPoses();
        CreateSystemsFromFile();
    }
};

TEST_P(DemoProfileTest, LoadsWithNoLineLeftOutNoUnresolvedNameNoUnknownPoseAndNothingThatCannotWork) {
    LoadDemo();
    ProfileSummary summary = SummariseSystems();
    for (const std::string& line : DescribeSummary(summary)) std::cout << GetParam() << ": " << line << "\n";
    // Clean: nothing left out, unresolved or unknown, and nothing that loads but cannot work (every phrase
    // can be heard, every answer shown is heard, every sequence can finish, every link reaches the module).
    EXPECT_TRUE(summary.Clean());
    EXPECT_GE(PoseCount(), 5);
    for (int kind = 0; kind < kExecuteKindCount; ++kind)
        EXPECT_GT(summary.stepsOfKind[kind], 0) << "no step of kind " << kExecuteKindNames[kind];
    // The enciphered files were read: their systems exist.
    EXPECT_EQ(ResolveParamRef("CHECKLIST.BEFORE START.TRIGGER").kind, kRefParameter);
    EXPECT_EQ(ResolveParamRef("PROCEDURES.ENGINE START TWO.TRIGGER").kind, kRefParameter);
    EXPECT_TRUE(FileExists(Aircraft() + "/systems/checklists.sys"));
    EXPECT_FALSE(FileExists(Aircraft() + "/systems/checklists.txt"));
    // The save file restored the panel brightness.
    EXPECT_NE(Param("COMMANDS.LIGHTS.PANEL_LEVEL").value, 50);
}

TEST_P(DemoProfileTest, EncipheredFilesMatchTheirPlainSources) {
    namespace fs = std::filesystem;
    const std::string copy = folder.Make("systems");
    fs::copy(Aircraft() + "/systems", copy);
    const std::string plain = kSource + "/tools/syscipher/demo/" + GetParam();
    SealReport sealed = SealSystemsFiles(copy, plain, {"checklists", "procedures"});
    EXPECT_TRUE(sealed.ok) << (sealed.lines.empty() ? "" : sealed.lines[0]);
    for (const char* name : {"/checklists.sys", "/procedures.sys"})
        EXPECT_EQ(ReadBytes(copy + name), ReadBytes(Aircraft() + "/systems" + name))
            << name << " is stale: run syscipher seal data/" << GetParam() << "/systems " << plain
            << " checklists procedures";
    const std::string opened = folder.Make("opened/x");
    SealReport back = OpenSystemsFiles(Aircraft() + "/systems", folder.path + "/opened");
    EXPECT_TRUE(back.ok);
    EXPECT_EQ(ReadFileToString(folder.path + "/opened/procedures.txt"),
              ReadFileToString(plain + "/procedures.txt"));
}

TEST_P(DemoProfileTest, TakeoffCallOutsAndGearCommandHoldWhenTheyShould) {
    LoadDemo();
    const std::string callout =
        std::string(GetParam()) == "PM738" ? "EVENTS.TAKEOFF.POSITIVE_RATE" : "EVENTS.TAKEOFF.POSITIVE_CLIMB";
    Param("AIRCRAFT.ADC.ON_GROUND").value = 0;
    Param("AIRCRAFT.ADC.VS").value = 1800;
    Param("AIRCRAFT.ADC.RADIO_ALT").value = 120;
    Param("AIRCRAFT.GEAR.HANDLE").value = 1;
    EXPECT_TRUE(BlockHolds(Block(callout, 0)));
    Param(callout).value = 1;
    EXPECT_FALSE(BlockHolds(Block(callout, 0))) << "made once";
    Param(callout).value = 0;
    Param("AIRCRAFT.GEAR.HANDLE").value = 0;
    EXPECT_FALSE(BlockHolds(Block(callout, 0))) << "gear already up";
    Param("AIRCRAFT.GEAR.HANDLE").value = 1;
    // "gear up" while airborne with the gear down: the second block is the first that holds.
    EXPECT_FALSE(BlockHolds(Block("COMMANDS.GEAR.LEVER", 0), "gear up"));
    EXPECT_TRUE(BlockHolds(Block("COMMANDS.GEAR.LEVER", 1), "gear up"));
    EXPECT_FALSE(BlockHolds(Block("COMMANDS.GEAR.LEVER", 1), "gear down"));
    EXPECT_EQ(Block("COMMANDS.GEAR.LEVER", 1).executeSteps[2].text, "(>K:GEAR_UP)");
    // Three greens read as binary digits.
    EXPECT_EQ(EvaluateBlockValue(Block("AIRCRAFT.GEAR.GREENS"), 0), 7);
    Param("AIRCRAFT.GEAR.LEFT_GREEN").value = 0;
    EXPECT_EQ(EvaluateBlockValue(Block("AIRCRAFT.GEAR.GREENS"), 0), 5);
    // The phrases the recogniser must hear were registered in their normal form.
    const std::vector<std::string>& context = PhraseContext().phraseContext;
    for (const char* phrase : {"gear up", "before start checklist", "start engine two", "closed"})
        EXPECT_NE(std::find_if(context.begin(), context.end(),
                               [&](const std::string& p) { return p.rfind(phrase, 0) == 0; }),
                  context.end())
            << phrase;
}

INSTANTIATE_TEST_SUITE_P(Aircraft, DemoProfileTest, ::testing::Values("PM738", "FN320"));
} // namespace
