// The 737 options file: which lines are rewritten, inserted or appended, when the file is left alone, and
// which installations are looked at and in what order.
#include "base/helpers.h"
#include "platform/simulator_prefixes.h"
#include "setup/aircraft_options.h"
#include "tests/setup/setup_fixture.h"

namespace {
const char* kStoreOptions = "local/Packages/Microsoft.FlightSimulator_8wekyb3d8bbwe/LocalState/packages/"
                            "pmdg-aircraft-738/work/737_Options.ini";
const char* kSteamOptions =
    "roaming/Microsoft Flight Simulator/Packages/pmdg-aircraft-738/work/737_Options.ini";
const char* kReloadBox = "PMDG .ini file was updated. Please reload MSFS";
const char* kUpdatedLine = "PMDG .ini file was updated";
const char* kOkLine = "PMDG .ini file was checked for SDK options. Ok";
const char* kAllOn = "EnableDataBroadcast = 1\r\nEnableCDUBroadcast.0 = 1\r\nEnableCDUBroadcast.1 = 1\r\n";

using OptionsFileTest = SetupTest;

TEST_F(OptionsFileTest, RewritesInsertsAndAppendsOnlyWhatIsMissing) {
    struct Case {
        const char* name;
        std::string before;
        std::string after; // the file's bytes afterwards; empty: left exactly as it was
    };
    const Case cases[] = {
        {"already correct: untouched, blank lines and LF line ends included",
         "[Main]\n\nSound=1\n[SDK]\r\nEnableDataBroadcast = 1\r\n\r\nEnableCDUBroadcast.0 = "
         "1\nEnableCDUBroadcast.1 = 1",
         ""},
        {"a switch at 0 is set in place, the other two appended at the end",
         "[SDK]\r\nEnableDataBroadcast = 0\r\n[Sound]\r\nVolume=3\r\n",
         "[SDK]\r\nEnableDataBroadcast = 1\r\n[Sound]\r\nVolume=3\r\nEnableCDUBroadcast.0 = "
         "1\r\nEnableCDUBroadcast.1 = 1\r\n"},
        {"no header and no switches: header and all three appended, blank lines dropped",
         "[Main]\r\n\r\nSound=1\r\n", std::string("[Main]\r\nSound=1\r\n[SDK]\r\n") + kAllOn},
        {"a switch without spaces does not count as on",
         "[SDK]\nEnableDataBroadcast=1\nEnableCDUBroadcast.0 = 1\nEnableCDUBroadcast.1 = 1\n",
         std::string("[SDK]\r\n") + kAllOn},
        {"one header inserted before the first broadcast line that precedes every header; CDU lines get none",
         "EnableCDUBroadcast.0 = 0\r\nEnableDataBroadcast = 0\r\nEnableDataBroadcast = 1\r\n[SDK]\r\n",
         "EnableCDUBroadcast.0 = 1\r\n[SDK]\r\nEnableDataBroadcast = 1\r\nEnableDataBroadcast = "
         "1\r\n[SDK]\r\n"
         "EnableCDUBroadcast.1 = 1\r\n"},
        {"switches all on but outside any section: the inserted header alone is worth a rewrite", kAllOn,
         std::string("[SDK]\r\n") + kAllOn},
        {"a header anywhere in a line counts, and so does a switch line holding the wanted text",
         "; options [SDK] follow\r\nx EnableDataBroadcast = 1 ; on\r\nEnableCDUBroadcast.0 = 1\r\n",
         "; options [SDK] follow\r\nx EnableDataBroadcast = 1 ; on\r\nEnableCDUBroadcast.0 = 1\r\n"
         "EnableCDUBroadcast.1 = 1\r\n"},
        {"an empty file gets everything", "", std::string("[SDK]\r\n") + kAllOn},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ResetLog();
        ShownBoxes().clear();
        std::string path = folder.Write("737_Options.ini", c.before);
        UpdateOptionsFile(path);
        bool rewritten = !c.after.empty();
        EXPECT_EQ(ReadBytes(path), rewritten ? c.after : c.before);
        EXPECT_EQ(Logged(kUpdatedLine), rewritten);
        EXPECT_EQ(Logged(kOkLine), !rewritten);
        if (rewritten) {
            ASSERT_EQ(ShownBoxes().size(), 1u);
            EXPECT_EQ(ShownBoxes()[0].first, kReloadBox);
            EXPECT_EQ(ShownBoxes()[0].second, "Information");
        } else {
            EXPECT_TRUE(ShownBoxes().empty());
        }
        EXPECT_FALSE(FileExists(path + ".new")) << "no leftover of the replacing write";
    }
}

TEST_F(OptionsFileTest, AnUnreadableFileIsNeitherCreatedNorReplaced) {
    std::string path = folder.path + "/gone/737_Options.ini";
    UpdateOptionsFile(path);
    EXPECT_FALSE(FileExists(path));
    EXPECT_TRUE(Logged("PMDG .ini file can not be read: " + path));
    EXPECT_TRUE(ShownBoxes().empty());
}

TEST_F(OptionsFileTest, BothEditionsAreUpdatedStoreFirstAndTheWorkFolderEndsWithSteam) {
    OverrideKnownFolder(KnownFolder::LocalAppData, folder.path + "/local");
    OverrideKnownFolder(KnownFolder::RoamingAppData, folder.path + "/roaming");
    std::string store = folder.Write(kStoreOptions, "[SDK]\r\n");
    std::string steam = folder.Write(kSteamOptions, std::string("[SDK]\r\n") + kAllOn);
    Frame().wasmWorkPath = "from start-up/";

    CheckAircraftOptions();

    EXPECT_EQ(ReadBytes(store), std::string("[SDK]\r\n") + kAllOn);
    EXPECT_EQ(ReadBytes(steam), std::string("[SDK]\r\n") + kAllOn);
    std::string storeWork = folder.path + "/local/Packages/Microsoft.FlightSimulator_8wekyb3d8bbwe/"
                                          "LocalState/packages/quillbrook-talvero/work/";
    std::string steamWork =
        folder.path + "/roaming/Microsoft Flight Simulator/Packages/quillbrook-talvero/work/";
    EXPECT_EQ(Frame().wasmWorkPath, steamWork);
    std::vector<std::string> expected = {
        "LOCALAPPDATA folder=" + folder.path + "/local",
        "APPDATA folder=" + folder.path + "/roaming",
        "PMDG 738 non-steam ini file exist: " + store,
        kUpdatedLine,
        "WorkParh: " + storeWork,
        "PMDG 738 steam ini file exist: " + steam,
        kOkLine,
        "WorkParh: " + steamWork,
    };
    EXPECT_EQ(LogLines(), expected);
    EXPECT_EQ(ShownBoxes().size(), 1u) << "only the changed file asks for a reload";
}

TEST_F(OptionsFileTest, UnderProtonThePrefixHoldingTheWorkFolderIsSearched) {
    // The user's own folders and two prefixes hold a Steam edition's options file; start-up found the
    // module's work folder in the second prefix, so that prefix's file is the one updated.
    OverrideKnownFolder(KnownFolder::LocalAppData, folder.path + "/local");
    OverrideKnownFolder(KnownFolder::RoamingAppData, folder.path + "/roaming");
    std::string own = folder.Write(kSteamOptions, "[SDK]\r\n");
    std::vector<SimulatorPrefix> prefixes;
    for (const char* id : {"1250410", "2537590"}) {
        std::string user =
            std::string("lib/steamapps/compatdata/") + id + "/pfx/drive_c/users/steamuser/AppData";
        prefixes.push_back({folder.path + "/lib", id, folder.path + "/" + user + "/Local",
                            folder.path + "/" + user + "/Roaming"});
        folder.Write(user + "/Roaming" + std::string(kSteamOptions).substr(std::string("roaming").size()),
                     "[SDK]\r\n");
    }
    OverrideSimulatorPrefixes(prefixes);
    const std::string steamWork = "/Microsoft Flight Simulator/Packages/quillbrook-talvero/work/";
    Frame().wasmWorkPath = prefixes[1].roaming + steamWork;

    CheckAircraftOptions();

    std::string chosen =
        prefixes[1].roaming + "/Microsoft Flight Simulator/Packages/pmdg-aircraft-738/work/737_Options.ini";
    EXPECT_EQ(ReadBytes(chosen), std::string("[SDK]\r\n") + kAllOn);
    EXPECT_EQ(ReadBytes(own), "[SDK]\r\n");
    EXPECT_EQ(ReadBytes(prefixes[0].roaming +
                        "/Microsoft Flight Simulator/Packages/pmdg-aircraft-738/work/737_Options.ini"),
              "[SDK]\r\n");
    EXPECT_TRUE(Logged("APPDATA folder=" + prefixes[1].roaming));
    EXPECT_TRUE(Logged("PMDG 738 steam ini file exist: " + chosen));
    EXPECT_EQ(Frame().wasmWorkPath, prefixes[1].roaming + steamWork);
}

TEST_F(OptionsFileTest, NoOptionsFileLeavesTheWorkFolderAlone) {
    struct Case {
        const char* name;
        bool localKnown;
        bool roamingKnown;
    };
    const Case cases[] = {{"folders known, no add-on installed", true, true},
                          {"store folder lookup fails", false, true},
                          {"both lookups fail", false, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ResetLog();
        OverrideKnownFolder(KnownFolder::LocalAppData,
                            c.localKnown ? std::optional<std::string>(folder.path + "/local") : std::nullopt);
        OverrideKnownFolder(KnownFolder::RoamingAppData,
                            c.roamingKnown ? std::optional<std::string>(folder.path + "/roaming")
                                           : std::nullopt);
        Frame().wasmWorkPath = "from start-up/";
        CheckAircraftOptions();
        EXPECT_EQ(Frame().wasmWorkPath, "from start-up/");
        std::vector<std::string> expected;
        if (c.localKnown) expected.push_back("LOCALAPPDATA folder=" + folder.path + "/local");
        if (c.roamingKnown) expected.push_back("APPDATA folder=" + folder.path + "/roaming");
        expected.push_back("PMDG 738 non-steam ini file NOT exist");
        expected.push_back("PMDG 738 steam ini file NOT exist");
        EXPECT_EQ(LogLines(), expected);
        EXPECT_TRUE(ShownBoxes().empty());
    }
}
} // namespace
