// The pose catalogue's filters on the pose tree.
#include "app/frame.h"
#include "poses/pose_catalogue.h"
#include "tests/fakes/test_support.h"

#include <gtest/gtest.h>

TEST(PoseCatalogue, EmptyWithoutPoseFolder) {
    TempFolder folder;
    ResetFrame();
    Frame().AcfPath = folder.path;
    ScanPoses();
    EXPECT_EQ(PoseCount(), 0);
    EXPECT_EQ(FindPose("work_sit"), -1);
}
