// The cockpit model installation on a fake simulator tree: when the model is renewed, which add-on copy
// is used, what the patch does to the main model, and how each failure ends.
#include "base/helpers.h"
#include "platform/files.h"
#include "setup/cockpit_model.h"
#include "tests/setup/setup_fixture.h"

#include <filesystem>
#include <memory>

namespace {
const char* kModelFolder = "/pmdg-aircraft-738/SimObjects/Airplanes/PMDG 737-800/model.BW/";
const char* kCopyFolder =
    "/Community/quillbrook-talvero-pmdg-738/SimObjects/Airplanes/TalVero_PMDG738/model.BW/";
const char* kNames[] = {"PMDG_737-800NG_VC.bin", "PMDG_737-800NG_VC.gltf", "PMDG_737-800NG_VC_LOD1.bin",
                        "PMDG_737-800NG_VC_LOD1.gltf"};
const char* kModel =
    "{\"asset\":{\"version\":\"2.0\"},\"nodes\":[{\"name\":\"yoke\"},{\"name\":\"mcp\"}],\"scene\":0,"
    "\"scenes\":[{\"nodes\":[345,346]}],\"skins\":[]}\r\n";
const char* kPatchedModel = "{\"asset\":{\"version\":\"2.0\"},\"nodes\":[{\"name\":\"yoke\"},{\"name\":"
                            "\"mcp\"},{\"translation\":[-0.497,"
                            "0.8152717,13.877],\"name\":\"PILOT_1\"}],\"scene\":0,\"scenes\":[{\"nodes\":["
                            "345,346,347]}],\"skins\":[]}\r\n";
// RFC 1321's own examples, so the fingerprint file is checked against digests known from outside.
const char* kBin = "abc";
const char* kBinDigest = "900150983cd24fb0d6963f7d28e17f72";
const char* kLod1Bin = "message digest";
const char* kLod1BinDigest = "f96b697d7cb7938d525a2f31aaf161d0";
const char* kLod1Model = "{\"lod\":1}";
const char* kUpdatedBox = "TALVERO files was updated. Please reload MSFS";

struct CockpitModelTest : SetupTest {
    std::string root; // the simulator's package root, holding Community and Official
    std::unique_ptr<WorkingFolder> inOwnPackage;

    void SetUp() override {
        SetupTest::SetUp();
        root = folder.path + "/MSFS";
        folder.Make("MSFS/Community/quillbrook-talvero/data/PM738/tmp.txt");
        inOwnPackage = std::make_unique<WorkingFolder>(root + "/Community/quillbrook-talvero");
    }
    void TearDown() override {
        inOwnPackage.reset();
        SetupTest::TearDown();
    }

    // The add-on under `where` ("Community", "Official/Steam", "Official/OneStore") with its four models.
    void InstallAddOn(const std::string& where, const std::string& bin = kBin,
                      const std::string& model = kModel) {
        folder.Write("MSFS/" + where + "/pmdg-aircraft-738/manifest.json", "{}");
        const std::string contents[] = {bin, model, kLod1Bin, kLod1Model};
        for (int i = 0; i < 4; ++i) folder.Write("MSFS/" + where + kModelFolder + kNames[i], contents[i]);
    }
    void MakeCompanionPackage() { folder.Make(std::string("MSFS") + kCopyFolder + "x"); }
    std::string CopyPath(int file) const { return root + kCopyFolder + kNames[file]; }
    std::string FingerprintPath() const { return root + "/Community/quillbrook-talvero/data/PM738/hash.txt"; }
    std::string Fingerprints() const {
        return std::string("file1=") + kBinDigest + "\r\nfile2=" + Md5OfBytes(kModel) +
               "\r\nfile3=" + kLod1BinDigest + "\r\nfile4=" + Md5OfBytes(kLod1Model) + "\r\n";
    }
    void ClearRun() {
        ResetLog();
        ResetFrame();
        ShownBoxes().clear();
    }
    bool NoLeftovers() const {
        for (int i = 0; i < 4; ++i)
            if (FileExists(CopyPath(i) + ".new")) return false;
        return !FileExists(FingerprintPath() + ".new");
    }
};

TEST_F(CockpitModelTest, ChangedModelsAreCopiedPatchedAndFingerprintedThenLeftAlone) {
    InstallAddOn("Community");
    MakeCompanionPackage();

    InstallCockpitModel();

    EXPECT_FALSE(Frame().quitRequested);
    EXPECT_EQ(ReadBytes(CopyPath(0)), kBin);
    EXPECT_EQ(ReadBytes(CopyPath(1)), kPatchedModel) << "node appended last, its index after 345,346";
    EXPECT_EQ(ReadBytes(CopyPath(2)), kLod1Bin);
    EXPECT_EQ(ReadBytes(CopyPath(3)), kLod1Model) << "only the main model is patched";
    EXPECT_EQ(ReadBytes(root + "/Community" + kModelFolder + kNames[1]), kModel)
        << "the add-on is never written";
    EXPECT_EQ(ReadBytes(FingerprintPath()), Fingerprints());
    ASSERT_EQ(ShownBoxes().size(), 1u);
    EXPECT_EQ(ShownBoxes()[0], std::make_pair(std::string(kUpdatedBox), std::string("Information")));
    EXPECT_TRUE(Logged(std::string("fileVCbinMD5=") + kBinDigest));
    EXPECT_TRUE(Logged(std::string("fileVCLOD1binMD5=") + kLod1BinDigest));
    EXPECT_TRUE(Logged("tmpString=\":[345,346"));
    EXPECT_TRUE(Logged("lastNumString=346"));
    EXPECT_TRUE(Logged("newNumString=,347"));
    EXPECT_TRUE(NoLeftovers());

    // Next start, same add-on: a hand-made change to a copy shows that nothing is copied again.
    ClearRun();
    folder.Write(std::string("MSFS") + kCopyFolder + kNames[0], "stale");
    InstallCockpitModel();
    EXPECT_EQ(ReadBytes(CopyPath(0)), "stale");
    EXPECT_EQ(ReadBytes(CopyPath(1)), kPatchedModel) << "the node is not added twice";
    EXPECT_TRUE(ShownBoxes().empty());
    EXPECT_FALSE(Frame().quitRequested);
    EXPECT_EQ(ReadBytes(FingerprintPath()), Fingerprints());

    // An add-on update renews everything.
    ClearRun();
    InstallAddOn("Community", "new bin");
    InstallCockpitModel();
    EXPECT_EQ(ReadBytes(CopyPath(0)), "new bin");
    EXPECT_EQ(ReadBytes(FingerprintPath()).substr(0, 38), "file1=" + Md5OfBytes("new bin"));
    EXPECT_EQ(ShownBoxes().size(), 1u);
}

TEST_F(CockpitModelTest, FingerprintFileIsReadByKeyNotByPosition) {
    InstallAddOn("Community");
    MakeCompanionPackage();
    std::string d1 = kBinDigest, d2 = Md5OfBytes(kModel), d3 = kLod1BinDigest, d4 = Md5OfBytes(kLod1Model);
    struct Case {
        const char* name;
        std::string file; // empty: no fingerprint file
        bool installs;
    };
    const Case cases[] = {
        {"as written last time", Fingerprints(), false},
        {"other order, blank and foreign lines, LF ends",
         "# note\n\nfile3=" + d3 + "\nfile4=" + d4 + "\nfile1=" + d1 + "\nfile2=" + d2, false},
        {"the last line of a key wins",
         "file1=0\r\nfile1=" + d1 + "\r\nfile2=" + d2 + "\r\nfile3=" + d3 + "\r\nfile4=" + d4 + "\r\n",
         false},
        {"a key not at the start of its line yields its line minus six characters",
         "file1=" + d1 + "\r\nfile2=" + d2 + "\r\n file3=" + d3 + "\r\nfile4=" + d4 + "\r\n", true},
        {"one digest missing", "file1=" + d1 + "\r\nfile2=" + d2 + "\r\nfile4=" + d4 + "\r\n", true},
        {"digests are compared byte for byte",
         "file1=" + d1 + "\r\nfile2=" + d2 + "\r\nfile3=" + d3 + "\r\nfile4=" + d4 + " \r\n", true},
        {"no fingerprint file", "", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ClearRun();
        std::filesystem::remove(CopyPath(0));
        std::filesystem::remove(FingerprintPath());
        if (!c.file.empty()) folder.Write("MSFS/Community/quillbrook-talvero/data/PM738/hash.txt", c.file);
        InstallCockpitModel();
        EXPECT_EQ(FileExists(CopyPath(0)), c.installs);
        EXPECT_EQ(ShownBoxes().size(), c.installs ? 1u : 0u);
        EXPECT_EQ(ReadBytes(FingerprintPath()), c.installs ? Fingerprints() : c.file);
        EXPECT_FALSE(Frame().quitRequested);
    }
}

TEST_F(CockpitModelTest, AddOnIsTakenFromCommunityThenSteamThenStore) {
    MakeCompanionPackage();
    struct Case {
        std::vector<std::string> installed;
        std::string used;
        std::string usedSpelled; // as the platform spells the fixed path
    };
    std::string sep(1, NativeSeparator());
    const Case cases[] = {
        {{"Official/OneStore", "Official/Steam", "Community"}, "Community", "Community"},
        {{"Official/OneStore", "Official/Steam"}, "Official/Steam", "Official" + sep + "Steam"},
        {{"Official/OneStore"}, "Official/OneStore", "Official" + sep + "OneStore"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.used);
        ClearRun();
        std::filesystem::remove_all(root + "/Official");
        std::filesystem::remove_all(root + "/Community/pmdg-aircraft-738");
        std::filesystem::remove(FingerprintPath());
        for (const auto& where : c.installed) InstallAddOn(where, "bin from " + where);

        InstallCockpitModel();

        EXPECT_EQ(ReadBytes(CopyPath(0)), "bin from " + c.used);
        auto lines = LogLines();
        ASSERT_GE(lines.size(), 7u);
        ASSERT_EQ(lines[0].rfind("RootPath=", 0), 0u);
        std::string rootPath = lines[0].substr(9);
        EXPECT_EQ(rootPath.back(), NativeSeparator());
        EXPECT_EQ(lines[1], "Will check this pats:");
        EXPECT_EQ(lines[2], rootPath + "Community" + sep + "pmdg-aircraft-738" + sep + "manifest.json");
        EXPECT_EQ(lines[3],
                  rootPath + "Official" + sep + "Steam" + sep + "pmdg-aircraft-738" + sep + "manifest.json");
        EXPECT_EQ(lines[4], rootPath + "Official" + sep + "OneStore" + sep + "pmdg-aircraft-738" + sep +
                                "manifest.json");
        EXPECT_EQ(lines[5], "PmdgPath=" + rootPath + c.usedSpelled + sep + "pmdg-aircraft-738" + sep);
        EXPECT_EQ(lines[6], "CommPath=" + rootPath + "Community" + sep);
        if (NativeSeparator() == '/') {
            for (const auto& line : lines) EXPECT_EQ(line.find('\\'), std::string::npos) << line;
        }
    }
}

TEST_F(CockpitModelTest, MissingAddOnEndsTheApplication) {
    MakeCompanionPackage();
    folder.Write("MSFS/Community/pmdg-aircraft-738" + std::string(kModelFolder) + kNames[0],
                 kBin); // no manifest
    InstallCockpitModel();
    EXPECT_TRUE(Frame().quitRequested);
    ASSERT_EQ(ShownBoxes().size(), 1u);
    EXPECT_EQ(ShownBoxes()[0].first, "PMDG aircraft path was not find. Please contact QuillBrook support!");
    EXPECT_EQ(LogLines().back(), "EXIT: PMDG aircraft path was not find");
    EXPECT_FALSE(FileExists(CopyPath(0)));
}

TEST_F(CockpitModelTest, MissingSourceModelSkipsTheStep) {
    InstallAddOn("Community");
    MakeCompanionPackage();
    std::filesystem::remove(root + "/Community" + kModelFolder + kNames[3]);
    InstallCockpitModel();
    EXPECT_FALSE(Frame().quitRequested);
    EXPECT_EQ(LogLines().back(), "Can not find file for MD5 check");
    EXPECT_TRUE(ShownBoxes().empty());
    EXPECT_FALSE(FileExists(CopyPath(0)));
    EXPECT_FALSE(FileExists(FingerprintPath()));
}

TEST_F(CockpitModelTest, FailuresEndTheApplicationWithoutNewFingerprints) {
    const std::string retry = " Please install more fresh version from " + std::string(kMakerWebAddress);
    struct Case {
        const char* name;
        std::string model;
        bool companion;       // the companion package's model folder exists
        bool blockThirdCopy;  // a folder stands where the third copy goes
        const char* copyLine; // expected "copyFile error" line, or nullptr
        std::string box;
        std::string reason;
    };
    const Case cases[] = {
        {"companion package missing", kModel, false, false, "copyFile error0000",
         "TALVERO Error - can not update files in auto mode." + retry,
         "TALVERO Error - can not update files in auto mode. CopyFile error."},
        {"one copy fails", kModel, true, true, "copyFile error1101",
         "TALVERO Error - can not update files in auto mode." + retry,
         "TALVERO Error - can not update files in auto mode. CopyFile error."},
        {"root list of one entry preceded by a word",
         "{\"nodes\":[{\"name\":\"a\"}],\"scene\":0,\"scenes\":[{\"nodes\":[0]}],\"skins\":[]}", true, false,
         nullptr, "TALVERO Error - can not update files in auto mode.." + retry,
         "TALVERO Error - can not update files in auto mode.."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ClearRun();
        std::filesystem::remove_all(root + "/Community/quillbrook-talvero-pmdg-738");
        if (c.companion) MakeCompanionPackage();
        if (c.blockThirdCopy) folder.Make(std::string("MSFS") + kCopyFolder + kNames[2] + "/x");
        InstallAddOn("Community", kBin, c.model);

        InstallCockpitModel();

        EXPECT_TRUE(Frame().quitRequested);
        if (c.copyLine) {
            EXPECT_TRUE(Logged(c.copyLine));
            EXPECT_FALSE(Logged("Copy file error=0")) << "the platform's error number is logged";
        }
        ASSERT_EQ(ShownBoxes().size(), 1u);
        EXPECT_EQ(ShownBoxes()[0].first, c.box);
        EXPECT_EQ(LogLines().back(), "EXIT: " + c.reason);
        EXPECT_FALSE(FileExists(FingerprintPath()));
        EXPECT_TRUE(NoLeftovers());
        if (!c.copyLine) {
            EXPECT_EQ(ReadBytes(CopyPath(1)), c.model) << "the copy stays whole and unpatched";
        }
    }
}

TEST_F(CockpitModelTest, PatchNeedsANodeListAndAPlainLastRootIndex) {
    const std::string node = ",{\"translation\":[-0.497,0.8152717,13.877],\"name\":\"PILOT_1\"}";
    const std::string nodesEnd = "],\"scene\":0,\"scenes\":[";
    const std::string rootEnd = "]}],\"skins\":[";
    struct Case {
        const char* name;
        std::string model;
        std::string patched; // empty: the patch fails and the text stays as it was
    };
    const Case cases[] = {
        {"two-digit index", "[{}" + nodesEnd + "{\"nodes\":[0,9" + rootEnd,
         "[{}" + node + nodesEnd + "{\"nodes\":[0,9,10" + rootEnd},
        {"only the first occurrences are patched",
         "[{}" + nodesEnd + "{\"nodes\":[1,2" + rootEnd + "x" + nodesEnd + rootEnd,
         "[{}" + node + nodesEnd + "{\"nodes\":[1,2,3" + rootEnd + "x" + nodesEnd + rootEnd},
        {"no node list end", "{\"nodes\":[1,2" + rootEnd, ""},
        {"no root list end", "[{}" + nodesEnd + "{\"nodes\":[1,2]}]", ""},
        {"root list end within the first ten characters", "[1,2" + rootEnd + nodesEnd, ""},
        {"negative index", "[{}" + nodesEnd + "{\"nodes\":[1,-2" + rootEnd, ""},
        {"index with a point", "[{}" + nodesEnd + "{\"nodes\":[1,2.5" + rootEnd, ""},
        {"sign only", "[{}" + nodesEnd + "{\"nodes\":[1,-" + rootEnd, ""},
        {"index longer than the ten characters looked at", "[{}" + nodesEnd + "[1,12345678901" + rootEnd, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::string text = c.model;
        bool patched = AddPilotNode(text);
        EXPECT_EQ(patched, !c.patched.empty());
        EXPECT_EQ(text, patched ? c.patched : c.model);
    }
}
} // namespace
