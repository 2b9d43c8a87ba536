// The pose catalogue's filters on the pose tree: group folders one level down, "txt" anywhere in a name,
// the first ".txt" removed, and only work_ and rest_ poses kept.
#include "app/frame.h"
#include "poses/pose_catalogue.h"
#include "tests/fakes/test_support.h"

#include <gtest/gtest.h>

namespace {
struct PoseCatalogueTest : ::testing::Test {
    TempFolder folder;
    void SetUp() override {
        ResetFrame();
        ResetPoseCatalogue();
        Frame().AcfPath = folder.path + "/acf";
    }
    void TearDown() override {
        ResetFrame();
        ResetPoseCatalogue();
    }
    void Pose(const std::string& relative) { folder.Write("acf/poses/" + relative, "frames=1\n"); }
};

TEST_F(PoseCatalogueTest, FiltersNamesAndFolders) {
    Pose("seat/rest_idle.txt");
    Pose("seat/stand.txt");
    Pose("seat/work_.txt");
    Pose("seat/rest.txt");
    Pose("seat/work_txtnotes.md");
    Pose("seat/a.txt.txt");
    Pose("seat/work_a.txt.txt");
    Pose("seat/work_caps.TXT");
    Pose("seat/rest_no_extension");
    Pose("work_at_root.txt");
    Pose("old.set/work_hidden.txt");
    Pose("seat/deeper/work_too_deep.txt");
    ScanPoses();
    EXPECT_EQ(PoseCatalogue().poses,
              (std::vector<std::string>{"rest_idle", "work_", "work_a.txt", "work_txtnotes.md"}));
    EXPECT_EQ(PoseCount(), 4);
    EXPECT_EQ(FindPose("work_"), 1);
    EXPECT_EQ(FindPose("Rest_idle"), -1) << "case-sensitive";
    EXPECT_EQ(FindPose("rest_idl"), -1) << "whole names only";
}

TEST_F(PoseCatalogueTest, DuplicatesAcrossGroupsAreKeptAndTheFirstIsFound) {
    Pose("cockpit/work_ovhd.txt");
    Pose("overhead/work_ovhd.txt");
    Pose("overhead/work_fire.txt");
    ScanPoses();
    EXPECT_EQ(PoseCatalogue().poses, (std::vector<std::string>{"work_ovhd", "work_fire", "work_ovhd"}));
    EXPECT_EQ(FindPose("work_ovhd"), 0);
    // A second scan starts afresh.
    ScanPoses();
    EXPECT_EQ(PoseCount(), 3);
}

TEST_F(PoseCatalogueTest, EmptyWithoutPoseFolder) {
    PoseCatalogue().poses = {"left over"};
    ScanPoses();
    EXPECT_EQ(PoseCount(), 0);
    EXPECT_EQ(FindPose("work_sit"), -1);
}
} // namespace
