// The simulator under Proton: Steam's list of libraries, the prefixes found in a fake Steam installation
// in a temporary HOME, and what a start of the program finds there and says when it cannot connect.
#include "app/frame.h"
#include "base/helpers.h"
#include "base/log.h"
#include "platform/known_folders.h"
#include "platform/message_box.h"
#include "platform/simulator_prefixes.h"
#include "tests/fakes/fake_clock.h"
#include "tests/fakes/test_support.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

namespace {
namespace fs = std::filesystem;
const char* kWork = "/Microsoft Flight Simulator/Packages/quillbrook-talvero/work/";

TEST(SteamLibraryList, ReadsBothFormsAndSkipsTheRest) {
    struct Case {
        const char* name;
        const char* vdf;
        std::vector<std::string> folders;
    };
    const Case cases[] = {
        {"current form, two libraries; an app's size under a numbered key is no library",
         "\"libraryfolders\"\n{\n\t\"0\"\n\t{\n\t\t\"path\"\t\t\"/home/p/.local/share/Steam\"\n"
         "\t\t\"label\"\t\t\"\"\n\t\t\"apps\"\n\t\t{\n\t\t\t\"228980\"\t\t\"1\"\n\t\t}\n\t}\n"
         "\t\"1\"\n\t{\n\t\t\"path\"\t\t\"/mnt/games/SteamLibrary\"\n\t\t\"apps\"\n\t\t{\n"
         "\t\t\t\"1250410\"\t\t\"150000000000\"\n\t\t}\n\t}\n}\n",
         {"/home/p/.local/share/Steam", "/mnt/games/SteamLibrary"}},
        {"older form: the path is the numbered key's value",
         "\"LibraryFolders\"\n{\n\t\"TimeNextStatsReport\"\t\t\"1600000000\"\n\t\"ContentStatsID\"\t\t\"-"
         "1\"\n"
         "\t\"1\"\t\t\"/mnt/old library\"\n}\n",
         {"/mnt/old library"}},
        {"escaped quote and backslash in a path",
         "\"libraryfolders\" { \"0\" { \"path\" \"/mnt/a \\\"b\\\" \\\\c\" } }",
         {"/mnt/a \"b\" \\c"}},
        {"comments, empty paths and an unfinished file",
         "// made by Steam\n\"libraryfolders\" { \"0\" { \"path\" \"\" } \"1\" { \"path\" \"/y\" } \"2\" { "
         "\"pa",
         {"/y"}},
        {"nothing", "", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(ParseSteamLibraryFolders(c.vdf), c.folders);
    }
}

// A HOME of the test's own with Steam in ~/.local/share/Steam (also reached through ~/.steam/steam), a
// second library elsewhere, and prefixes in both.
struct FakeSteamHome : ::testing::Test {
    TempFolder home, elsewhere;
    std::string savedHome, savedData;
    bool hadData = false;
    std::string steam, library;

    void SetUp() override {
        savedHome = std::getenv("HOME") ? std::getenv("HOME") : "";
        hadData = std::getenv("XDG_DATA_HOME") != nullptr;
        if (hadData) savedData = std::getenv("XDG_DATA_HOME");
        setenv("HOME", home.path.c_str(), 1);
        unsetenv("XDG_DATA_HOME");
        ResetSimulatorPrefixes();
        steam = home.path + "/.local/share/Steam";
        library = elsewhere.path + "/Steam Library";
        fs::create_directories(steam + "/steamapps/common");
        fs::create_directories(home.path + "/.steam");
        fs::create_directory_symlink(steam, home.path + "/.steam/steam");
        fs::create_directories(library + "/steamapps/common");
        // Steam lists itself and the second library (once more through the symbolic link, and once a
        // library that is gone).
        home.Write(".local/share/Steam/steamapps/libraryfolders.vdf",
                   "\"libraryfolders\"\n{\n\t\"0\"\n\t{\n\t\t\"path\"\t\t\"" + home.path +
                       "/.steam/steam\"\n\t}\n"
                       "\t\"1\"\n\t{\n\t\t\"path\"\t\t\"" +
                       library +
                       "/\"\n\t}\n"
                       "\t\"2\"\n\t{\n\t\t\"path\"\t\t\"/nonexistent/library\"\n\t}\n}\n");
    }
    void TearDown() override {
        setenv("HOME", savedHome.c_str(), 1);
        if (hadData) setenv("XDG_DATA_HOME", savedData.c_str(), 1);
        ResetSimulatorPrefixes();
    }
    // A Proton prefix of application `id` in `libraryFolder`; returns its roaming folder.
    std::string Prefix(const std::string& libraryFolder, const std::string& id) {
        std::string user = libraryFolder + "/steamapps/compatdata/" + id + "/pfx/drive_c/users/steamuser";
        fs::create_directories(user + "/AppData/Local");
        fs::create_directories(user + "/AppData/Roaming");
        return user + "/AppData/Roaming";
    }
};

TEST_F(FakeSteamHome, ListsEveryPrefixOfEveryLibraryTheSimulatorFirst) {
    Prefix(steam, "2537590"); // the 2024 edition in Steam's own library
    Prefix(steam, "228980");  // Steam's own runtime: a prefix like any other
    Prefix(library, "1250410");
    Prefix(library, "99");
    fs::create_directories(library + "/steamapps/compatdata/42"); // no prefix inside: not listed
    std::vector<std::string> found;
    for (const SimulatorPrefix& p : SimulatorPrefixes()) {
        found.push_back(p.library + " " + p.appId);
        EXPECT_EQ(p.roaming, p.library + "/steamapps/compatdata/" + p.appId +
                                 "/pfx/drive_c/users/steamuser/AppData/Roaming");
        EXPECT_EQ(p.local, p.library + "/steamapps/compatdata/" + p.appId +
                               "/pfx/drive_c/users/steamuser/AppData/Local");
    }
    // Steam's library is reached first through ~/.steam/steam, and counted once.
    const std::string first = home.path + "/.steam/steam";
    EXPECT_EQ(found, (std::vector<std::string>{first + " 2537590", first + " 228980", library + " 1250410",
                                               library + " 99"}));
}

TEST_F(FakeSteamHome, NoSteamNoPrefixes) {
    fs::remove_all(home.path + "/.local/share/Steam");
    fs::remove(home.path + "/.steam/steam");
    EXPECT_TRUE(SimulatorPrefixes().empty());
}

TEST_F(FakeSteamHome, TheProgramFindsTheWorkFolderInAMovedLibraryAndNamesTheListenerWhenItCannotConnect) {
    // The module's work folder lies only in the 2020 edition's prefix in the second library; the XDG
    // folders of the user have none.
    std::string roaming = Prefix(library, "1250410");
    fs::create_directories(roaming + kWork);
    ASSERT_TRUE(WriteBytes(roaming + kWork + "drf.txt", ""));
    TempFolder xdg;
    OverrideKnownFolder(KnownFolder::LocalAppData, xdg.path + "/share");
    OverrideKnownFolder(KnownFolder::RoamingAppData, xdg.path + "/config");
    std::vector<std::string> boxes;
    static std::vector<std::string>* shown = nullptr;
    shown = &boxes;
    SetInfoBoxHook([](const std::string& text, const std::string&) { shown->push_back(text); });
    InstallationFolder installation;
    ResetFrame();
    ResetLog();
    ResetFakeClock();
    Frame().instanceName = "TvoMutex-prefix-test";
    FrameSubsystems s;
    s.connectSimulator = [] { return false; };
    EXPECT_EQ(RunApplication(s, FakeClockOps()), 0);
    SetInfoBoxHook(nullptr);
    ResetKnownFolders();
    std::string log = installation.Bytes("data/log.txt");

    EXPECT_EQ(Frame().wasmWorkPath, roaming + kWork);
    EXPECT_NE(
        log.find(
            "WASM WorkPath found in the Proton prefix of Steam application 1250410 in the Steam library " +
            library + "\r\n"),
        std::string::npos)
        << log;
    EXPECT_NE(log.find("EXIT: No simconnect connection\r\n"), std::string::npos);
    EXPECT_NE(log.find("SimConnect.xml"), std::string::npos);
    EXPECT_NE(log.find("SimConnect.cfg"), std::string::npos);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_NE(boxes[0].find("SimConnect.xml"), std::string::npos);
}
} // namespace
