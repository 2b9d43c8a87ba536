// Start-up refusals, the order of start-up and pass steps, pacing on a fake clock, and the exit paths.
#include "app/frame.h"
#include "base/helpers.h"
#include "base/log.h"
#include "platform/known_folders.h"
#include "platform/message_box.h"
#include "platform/simulator_prefixes.h"
#include "platform/single_instance.h"
#include "tests/fakes/fake_clock.h"
#include "tests/fakes/test_support.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <stdexcept>
#include <thread>

namespace {
const char* kStore =
    "/Packages/Microsoft.FlightSimulator_8wekyb3d8bbwe/LocalState/packages/quillbrook-talvero/work/";
const char* kSteam = "/Microsoft Flight Simulator/Packages/quillbrook-talvero/work/";

struct Recorder {
    std::vector<std::string> calls;
    std::vector<std::string> boxes;
    std::string answer = "./data/PM738"; // what the fake module names on the first dispatch
    bool canConnect = true;
    bool connected = false;
    int passesBeforeQuit = 3;
    int passes = 0;
    std::function<void()> duringMonitor;
};
Recorder* rec = nullptr;

void Note(const char* what) {
    rec->calls.push_back(what);
}

FrameSubsystems Recording() {
    FrameSubsystems s;
    s.startGraphics = [] { Note("graphics"); };
    s.connectSimulator = [] {
        Note("connect");
        rec->connected = rec->canConnect;
        return rec->connected;
    };
    s.requestAircraft = [] { Note("request"); };
    s.dispatchSimulator = [] {
        Note("dispatch");
        if (Frame().AcfPath.empty()) Frame().AcfPath = rec->answer;
    };
    s.checkAircraftOptions = [] { Note("options"); };
    s.installCockpitModel = [] { Note("model"); };
    s.startSpeech = [] { Note("speech"); };
    s.startRecognition = [] {
        Note("recognition");
        return false;
    };
    s.loadSettings = [] { Note("settings"); };
    s.buildWidgetTitles = [] { Note("titles"); };
    s.scanPoses = [] { Note("poses"); };
    s.createSystems = [] { Note("systems"); };
    s.phraseContextSize = [] { return 19; };
    s.dumpPhraseContext = [] { Note("dump"); };
    s.queueStartupComplete = [] { Note("type36"); };
    s.registerWidgetClass = [] { Note("class"); };
    s.sendQueuedMessage = [] {
        Note("send");
        if (++rec->passes > rec->passesBeforeQuit) ExitApplication("test over");
    };
    s.trackAndPlaceWidget = [] { Note("widget"); };
    s.monitor = [] {
        Note("monitor");
        if (rec->duringMonitor) rec->duringMonitor();
    };
    s.sendDrfE2W = [] { Note("drf"); };
    s.executer = [] { Note("executer"); };
    s.speechMonitor = [] { Note("speechmon"); };
    s.pollRecognition = [] { Note("poll"); };
    s.destroyWidget = [] { Note("destroy"); };
    s.simulatorConnected = [] { return rec->connected; };
    s.closeSimulator = [](bool clear) {
        Note(clear ? "clear+close" : "close");
        rec->connected = false;
    };
    s.shutdownGraphics = [] { Note("gdi-off"); };
    s.shutdownRecognition = [] { Note("reco-off"); };
    return s;
}

// One start of the program: an installation folder as working folder, the two known folders, a fake
// module that answers on the first dispatch, and message boxes recorded instead of shown.
struct Scene {
    InstallationFolder installation;
    const TempFolder& install = installation.folder;
    TempFolder local, roaming;
    Recorder recorder;

    Scene() {
        rec = &recorder;
        ResetFrame();
        ResetLog();
        ResetFakeClock();
        OverrideKnownFolder(KnownFolder::LocalAppData, local.path);
        OverrideKnownFolder(KnownFolder::RoamingAppData, roaming.path);
        OverrideSimulatorPrefixes(std::vector<SimulatorPrefix>{}); // the machine's own Steam never counts
        local.Write(std::string(kStore).substr(1) + "drf.txt", "");
        SetInfoBoxHook([](const std::string& text, const std::string& caption) {
            rec->boxes.push_back(caption + ": " + text);
        });
    }
    ~Scene() {
        SetInfoBoxHook(nullptr);
        ResetKnownFolders();
        ResetSimulatorPrefixes();
        ReleaseSingleInstance();
        rec = nullptr;
    }
    // A guard of this test's own, so that a copy of the program running beside the tests (or another
    // test program) cannot make the starts here look like second copies.
    std::string GuardName() const { return "TvoMutex-" + install.path.substr(install.path.rfind('/') + 1); }
    std::string guardName; // another guard than GuardName() when set
    int Run() {
        Frame().instanceName = guardName.empty() ? GuardName() : guardName;
        return RunApplication(Recording(), FakeClockOps());
    }
    std::string LogFile() { return ReadBytes(install.path + "/data/log.txt"); }
    bool Logged(const std::string& line) { return LogFile().find(line + "\r\n") != std::string::npos; }
};

struct FrameTest : ::testing::Test {
    std::unique_ptr<Scene> scene = std::make_unique<Scene>();
    Recorder& recorder = scene->recorder;
    const TempFolder& local = scene->local;
    const TempFolder& roaming = scene->roaming;
    int Run() { return scene->Run(); }
    std::string LogFile() { return scene->LogFile(); }
    bool Logged(const std::string& line) { return scene->Logged(line); }
};

TEST_F(FrameTest, RunsStartUpThenPassesInOrderThenShutsDown) {
    EXPECT_EQ(Run(), 0);
    std::vector<std::string> expected = {"graphics", "connect", "request",     "dispatch", "options",
                                         "model",    "speech",  "recognition", "settings", "titles",
                                         "poses",    "systems", "dump",        "type36",   "class"};
    for (int pass = 0; pass < 4; ++pass)
        for (const char* step :
             {"send", "dispatch", "widget", "monitor", "drf", "executer", "speechmon", "poll"})
            expected.push_back(step);
    expected.insert(expected.end() - 7, "close"); // ExitApplication inside the fourth pass's first step
    for (const char* step : {"destroy", "gdi-off", "reco-off"}) expected.push_back(step);
    EXPECT_EQ(recorder.calls, expected);
    // The start-up log lines in their order are checked end to end (tests/e2e); these depend on the fakes.
    std::string log = LogFile();
    for (const char* line : {"Recognition Init Failure", "---CONTEXT Size():19", "EXIT: test over"})
        EXPECT_NE(log.find(line), std::string::npos) << line;
    EXPECT_EQ(Frame().wasmWorkPath, local.path + kStore);
}

TEST_F(FrameTest, RefusalsEndWithTheirReasonAndExitCodeZero) {
    struct Case {
        const char* name;
        std::function<void(Scene&)> arrange;
        const char* reason;
        const char* box;
    };
    std::vector<Case> cases = {
        {"installation folder not writable",
         [](Scene& t) {
             t.install.Make("data/PM738/tmp.txt/inside"); /* a folder where the probe file goes */
         },
         "quillbrook-talvero folder is read only",
         "Information: Look like \"quillbrook-talvero\" folder is read only."},
        {"no known folder", [](Scene&) { OverrideKnownFolder(KnownFolder::RoamingAppData, std::nullopt); },
         "EXIT REASON: LOCALAPPDATA folder was not found", nullptr},
        {"no module work folder", [](Scene& t) { std::remove((t.local.path + kStore + "drf.txt").c_str()); },
         "EXIT REASON: Work fplder for WASM was not found", nullptr},
        {"no connection", [](Scene& t) { t.recorder.canConnect = false; }, "No simconnect connection",
         nullptr},
        // A guard that cannot be made (a lock folder that does not exist; a mutex namespace that does not)
        // is no second copy: the refusal says what failed.
        {"a guard that cannot be made",
         [](Scene& t) { t.guardName = "NoSuchNamespace\\missing-folder/TvoMutex"; },
         "The single-instance lock could not be made: ",
         "Information: TALVERO could not take its single-instance lock: "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        scene.reset();
        Scene fresh;
        c.arrange(fresh);
        EXPECT_EQ(fresh.Run(), 0);
        // The reason as the log's line, or its start where the rest names the machine's own paths.
        const std::string reason = std::string("EXIT: ") + c.reason;
        EXPECT_TRUE(reason.back() == ' ' ? fresh.LogFile().find(reason) != std::string::npos
                                         : fresh.Logged(reason))
            << fresh.LogFile();
        EXPECT_TRUE(Frame().quitRequested);
        const auto& calls = fresh.recorder.calls;
        EXPECT_EQ(std::count(calls.begin(), calls.end(), "monitor"), 0) << "no pass ran";
        std::vector<std::string> hint = ConnectionFailureHint();
        if (std::string(c.reason) == "No simconnect connection" && !hint.empty()) {
            // Where reaching the simulator needs a step on its side, the refusal names it.
            ASSERT_EQ(fresh.recorder.boxes.size(), 1u);
            EXPECT_NE(fresh.recorder.boxes[0].find(hint[0]), std::string::npos);
            for (const std::string& line : hint) EXPECT_TRUE(fresh.Logged(line)) << line;
        } else if (c.box) {
            ASSERT_EQ(fresh.recorder.boxes.size(), 1u);
            EXPECT_EQ(fresh.recorder.boxes[0].rfind(c.box, 0), 0u) << fresh.recorder.boxes[0];
        } else {
            EXPECT_TRUE(fresh.recorder.boxes.empty());
        }
    }
}

TEST_F(FrameTest, SecondCopyIsRefusedWhileTheFirstHoldsTheGuard) {
    // The first copy holds the guard on another thread (the named mutex under Windows, the lock file on
    // Linux); this thread starts up as the second copy.
    std::mutex m;
    std::condition_variable cv;
    bool tried = false, held = false, done = false;
    const std::string name = scene->GuardName();
    std::thread first([&] {
        bool ok = AcquireSingleInstance(name);
        std::unique_lock<std::mutex> lock(m);
        held = ok;
        tried = true;
        cv.notify_all();
        cv.wait(lock, [&] { return done; });
        if (ok) ReleaseSingleInstance();
    });
    {
        std::unique_lock<std::mutex> lock(m);
        cv.wait(lock, [&] { return tried; });
    }
    EXPECT_TRUE(held);
    EXPECT_EQ(Run(), 0);
    {
        std::lock_guard<std::mutex> lock(m);
        done = true;
    }
    cv.notify_all();
    first.join();
    EXPECT_EQ(LogFile(), "EXIT: Trying to run another copy - TALVERO application is already running\r\n");
    EXPECT_EQ(recorder.boxes,
              std::vector<std::string>{"Information: TALVERO application is already running"});
    EXPECT_TRUE(recorder.calls.empty());
    // Once the first copy has gone, a new start takes the guard.
    scene.reset();
    Scene again;
    EXPECT_EQ(again.Run(), 0);
    EXPECT_TRUE(again.Logged("EXIT: test over"));
}

TEST_F(FrameTest, StoreEditionWorkFolderWinsAndSteamIsTheFallback) {
    roaming.Write(std::string(kSteam).substr(1) + "drf.txt", "");
    EXPECT_EQ(Run(), 0);
    EXPECT_EQ(Frame().wasmWorkPath, local.path + kStore);
    scene.reset();
    Scene steam;
    std::remove((steam.local.path + kStore + "drf.txt").c_str());
    steam.roaming.Write(std::string(kSteam).substr(1) + "drf.txt", "");
    EXPECT_EQ(steam.Run(), 0);
    EXPECT_EQ(Frame().wasmWorkPath, steam.roaming.path + kSteam);
    EXPECT_TRUE(steam.Logged("WASM WorkPath: " + steam.roaming.path + kSteam));
}

TEST_F(FrameTest, ProtonPrefixesAreSearchedInOrderBeforeTheUsersOwnFolders) {
    // Three prefixes: the first holds nothing, the second the Steam edition's work folder, the third the
    // store edition's; the user's own folders (the scene's) hold the store edition's too.
    TempFolder steam;
    std::vector<SimulatorPrefix> prefixes;
    for (const char* id : {"1250410", "2537590", "2537591"}) {
        std::string user = steam.path + "/lib/steamapps/compatdata/" + id + "/pfx/drive_c/users/steamuser";
        prefixes.push_back({steam.path + "/lib", id, user + "/AppData/Local", user + "/AppData/Roaming"});
    }
    steam.Write(prefixes[1].roaming.substr(steam.path.size() + 1) + kSteam + "drf.txt", "");
    steam.Write(prefixes[2].local.substr(steam.path.size() + 1) + kStore + "drf.txt", "");
    OverrideSimulatorPrefixes(prefixes);
    EXPECT_EQ(Run(), 0);
    EXPECT_EQ(Frame().wasmWorkPath, prefixes[1].roaming + kSteam);
    const std::string found =
        "WASM WorkPath found in the Proton prefix of Steam application 2537590 in the Steam library " +
        steam.path + "/lib";
    EXPECT_TRUE(Logged(found)) << LogFile();
    EXPECT_LT(LogFile().find(found), LogFile().find("WASM WorkPath: " + prefixes[1].roaming + kSteam));

    // No prefix holds a work folder: the user's own folders, and no prefix line.
    scene.reset();
    Scene plain;
    OverrideSimulatorPrefixes(std::vector<SimulatorPrefix>{prefixes[0]});
    EXPECT_EQ(plain.Run(), 0);
    EXPECT_EQ(Frame().wasmWorkPath, plain.local.path + kStore);
    EXPECT_EQ(plain.LogFile().find("Proton prefix"), std::string::npos);
}

TEST_F(FrameTest, SilentModuleEndsStartUpAfterTheTimeOut) {
    recorder.answer = "";
    Frame().aircraftAnswerTimeout = 0.5;
    EXPECT_EQ(Run(), 0);
    EXPECT_TRUE(Logged("EXIT: The simulator module did not name the aircraft within 0.5 seconds"))
        << LogFile();
    EXPECT_EQ(recorder.calls.back(), "close");
    EXPECT_GT(std::count(recorder.calls.begin(), recorder.calls.end(), "dispatch"), 10);
}

TEST_F(FrameTest, ExceptionInAPassEndsWithExitCodeOneAndNoShutdown) {
    recorder.duringMonitor = [] { throw std::invalid_argument("stod"); };
    EXPECT_EQ(Run(), 1);
    EXPECT_EQ(recorder.calls.back(), "monitor");
    EXPECT_EQ(std::count(recorder.calls.begin(), recorder.calls.end(), "clear+close"), 0);
}

TEST_F(FrameTest, PacingKeepsTwentyMillisecondsWithoutCatchingUpAndSleepsInsteadOfSpinning) {
    // A timer that wakes a little late, and one that wakes early (as one that does not keep to the
    // monotonic clock may): neither lets a pass start before its time.
    struct Case {
        const char* what;
        int64_t oversleep, early;
    } cases[] = {{"late timer", 80000, 0}, {"early timer", 0, 300000}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        scene.reset();
        Scene fresh;
        FakeClock().oversleep = c.oversleep;
        FakeClock().early = c.early;
        std::vector<double> starts;
        fresh.recorder.passesBeforeQuit = 7;
        fresh.recorder.duringMonitor = [&] {
            starts.push_back(Frame().frameTime);
            if (starts.size() == 3) FakeClock().now += 50000000; // one pass of 50 ms
        };
        int64_t readsBefore = FakeClock().reads;
        EXPECT_EQ(fresh.Run(), 0);
        ASSERT_EQ(starts.size(), 8u);
        for (size_t i = 1; i < starts.size(); ++i) {
            double gap = starts[i] - starts[i - 1];
            SCOPED_TRACE(i);
            if (i == 3) {
                EXPECT_GE(gap, 0.050);
                EXPECT_LT(gap, 0.0501) << "the pass after a long one starts at once";
            } else {
                EXPECT_GE(gap, 0.020) << "never earlier than 20 ms after the previous start";
                EXPECT_LT(gap, 0.0205);
            }
        }
        // Spinning every microsecond of six waits of 20 ms would read the clock about 120,000 times.
        EXPECT_LT(FakeClock().reads - readsBefore, 1500);
        EXPECT_GT(FakeClock().slept, 100000000);
        if (c.early == 0) {
            EXPECT_EQ(Frame().pacingSleeps, 6) << "one sleep per wait";
        }
    }
}
} // namespace
