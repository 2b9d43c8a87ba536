// The whole program while things go wrong around it: the simulator gone at each stage of start-up or
// mid-flight, a module that never names the aircraft, messages whose size cannot be right, a simulator
// that stops reading, a busy pipe, a full disk under the log, the settings and the 737 add-on's options,
// and a read-only settings file. Each run ends through the exit routine with its reason or keeps running
// as designed, and every file the program writes is whole afterwards.
#include "tests/e2e/e2e_fixture.h"

#include "app/frame.h"
#include "base/helpers.h"
#include "base/log.h"
#include "base/settings.h"
#include "platform/clock.h"
#include "platform/transport.h"
#include "simlink/client/client.h"
#include "simlink/client_data.h"
#include "speech/recognition_state.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>

namespace {
std::string OnDisk(const std::string& text) {
    return ReplaceAll(text, "\n", "\r\n");
}

// Files the program left beside its own: a ".new" file is one it did not finish putting in place.
std::vector<std::string> LeftOver(const std::string& folder) {
    std::vector<std::string> out;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder))
        if (entry.path().extension() == ".new") out.push_back(entry.path().generic_string());
    return out;
}

// ---- A full disk, for the files whose path holds one of the names in `fullFor` ----
std::atomic<bool> diskFull{false};
std::vector<std::string> fullFor;
size_t FullDisk(const std::string& path, size_t bytes) {
    if (!diskFull) return bytes;
    for (const std::string& name : fullFor)
        if (path.find(name) != std::string::npos) return std::min<size_t>(bytes, 7); // a few bytes still fit
    return bytes;
}
struct FullDiskHook {
    explicit FullDiskHook(std::vector<std::string> names) {
        fullFor = std::move(names);
        SetWriteFaultHook(FullDisk);
    }
    ~FullDiskHook() {
        SetWriteFaultHook(nullptr);
        diskFull = false;
    }
};
} // namespace

// Whatever stage of start-up the simulator is lost at, the program ends with its reason before any pass,
// and the log on disk is the whole log.
TEST_F(EndToEndTest, TheSimulatorLostAtEachStageOfStartUpEndsTheProgramWithItsReason) {
    struct Case {
        const char* name;
        bool simulator;
        uint32_t dropAtRequest;
        bool answerAircraft;
        const char* exit;
    };
    const Case cases[] = {
        {"no simulator", false, 0, true, "EXIT: No simconnect connection"},
        {"gone at Open", true, 1, true, "EXIT: The connection to the simulator was lost (status 0x"},
        {"gone while the areas are set up", true, 10, true,
         "EXIT: The connection to the simulator was lost (status 0x"},
        {"gone at the aircraft request", true, 19, true,
         "EXIT: The connection to the simulator was lost (status 0x"},
        {"the module never names the aircraft", true, 0, false,
         "EXIT: The simulator module did not name the aircraft within 0.5 seconds"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::unique_ptr<StandInThread> standIn;
        if (c.simulator) {
            standIn = StartStandIn({}, [&](standin::StandIn& s) {
                s.options.dropAtRequest = c.dropAtRequest;
                s.options.answerAircraft = c.answerAircraft;
            });
        }
        RunOptions options;
        options.aircraftAnswerSeconds = 0.5;
        ProgramRun run = Run(options);
        if (standIn) standIn->Stop();
        EXPECT_EQ(run.exitCode, 0);
        EXPECT_EQ(run.passes, 0);
        std::vector<std::string> exits = ExitLines(run.log);
        ASSERT_EQ(exits.size(), 1u) << run.log;
        EXPECT_TRUE(exits[0].starts_with(c.exit)) << exits[0];
        EXPECT_EQ(ProgramFile("data/log.txt"), OnDisk(run.log));
        EXPECT_FALSE(SimulatorLinkOpen());
    }
}

// The connection lost mid-flight without the simulator's quit notice: dropped, or dropped by the client
// for a message whose size field is below the header's 4 bytes or above what the client takes. The pass
// that saw it is the last; the program ends through the exit routine with a reason, soon and well before
// the watchdog, the exit routine closes the connection and the shutdown then has none to clear.
TEST_F(EndToEndTest, TheConnectionLostMidRunEndsTheProgramInOrder) {
    for (const char* event : {"drop", "badsize 3", "badsize 2000000"}) {
        SCOPED_TRACE(event);
        auto standIn = StartStandIn({"clock ready", std::string("at 0.3 ") + event}, FlyTheAirbus);
        ProgramRun run = Run();
        const int64_t ended = MonotonicNanos();
        standIn->Stop();
        EXPECT_EQ(run.exitCode, 0);
        EXPECT_FALSE(run.watchdogFired);
        std::vector<std::string> exits = ExitLines(run.log);
        ASSERT_EQ(exits.size(), 1u) << run.log;
        EXPECT_TRUE(
            exits[0].starts_with(std::string(event) == "drop"
                                     ? "EXIT: The connection to the simulator was lost (status 0x"
                                     : "EXIT: The connection to the simulator was lost (status 0x80004004)"))
            << exits[0];
        EXPECT_GT(run.passes, 10);
        EXPECT_EQ(run.passes, run.passesAtQuit);
        EXPECT_LT(static_cast<double>(ended - run.firstPassNanos) / 1e9, 3.0);
        EXPECT_EQ(run.shutdown, (std::vector<std::string>{"closeSimulator", "destroyWidget",
                                                          "shutdownGraphics", "shutdownRecognition"}));
        EXPECT_FALSE(SimulatorLinkOpen());
        EXPECT_EQ(Recognition().recoState, 4);
        EXPECT_EQ(ProgramFile("data/log.txt"), OnDisk(run.log));
    }
}

namespace {
uint64_t mostQueued = 0;
void SampleQueue() {
    if (SimLink().handle) mostQueued = std::max(mostQueued, SimLink().handle->QueuedSendBytes());
}

// The sequences of the module messages the stand-in received, the aircraft request's left out.
std::vector<uint32_t> ReceivedSequences(const std::vector<std::string>& transcript) {
    std::vector<uint32_t> out;
    for (const std::string& line : transcript) {
        size_t at = line.find(" MessageE2W seq=");
        if (at == std::string::npos) continue;
        uint32_t sequence = static_cast<uint32_t>(std::stoul(line.substr(at + 16)));
        if (sequence != 0xFFFFFFFFu) out.push_back(sequence);
    }
    return out;
}
} // namespace

// A simulator that stops reading for 2.5 s (150 passes of 4 kB DRF blocks): the program keeps running,
// only the newest DRF block waits beside the module messages, and afterwards the simulator gets every
// module message in order.
TEST_F(EndToEndTest, ASimulatorThatStopsReadingCostsOneDrfBlockAndLosesNoModuleMessage) {
    mostQueued = 0;
    RunOptions options;
    options.atPassEnd = SampleQueue;
    ProgramRun run =
        Fly({"clock ready", "at 0.2 stall 2.5", "at 0.3 foname Bob", "at 3.2 quit"}, FlyTheAirbus, options);
    EXPECT_FALSE(run.watchdogFired);
    EXPECT_TRUE(ExitLines(run.log).empty()) << run.log;
    EXPECT_GT(run.passes, 50); // passes went on through the stall (fewer than 50 a second under load)
    EXPECT_LT(mostQueued, 64u * 1024) << "bytes waiting to be sent";
    std::vector<std::string> transcript = standIn->Transcript();
    EXPECT_TRUE(HasLine(standIn->LogLines(), "not reading for 2.5 s"));
    std::vector<uint32_t> sequences = ReceivedSequences(transcript);
    ASSERT_GE(sequences.size(), 3u);
    for (size_t i = 0; i < sequences.size(); ++i) EXPECT_EQ(sequences[i], i) << "message " << i;
    // The name given during the stall was heard and the messages it caused went out after it.
    EXPECT_EQ(Settings().officerName, "Bob");
}

namespace {
std::string logAtFullDisk, settingsAtFullDisk;
bool settingsExistedAtFullDisk = true;
std::string installFolder;
// At the end of a pass: the disk fills at the first one; once the module's first name has been handled
// (its save and its log lines failed), the files are looked at and the disk is freed again.
void FillThenFreeTheDisk() {
    if (!diskFull && logAtFullDisk.empty() && Settings().officerName != "Bob") {
        diskFull = true;
        return;
    }
    if (diskFull && Settings().officerName == "Bob") {
        logAtFullDisk = ReadBytes(installFolder + "/data/log.txt");
        settingsExistedAtFullDisk = FileExists(installFolder + "/data/settings.txt");
        settingsAtFullDisk = ReadBytes(installFolder + "/data/settings.txt");
        diskFull = false;
    }
}
} // namespace

// A full disk under the log and the settings file: while it lasts, the log file holds whole lines only and
// the settings file is not touched; once there is room again, the log on disk is the whole log and the next
// change of a setting is saved.
TEST_F(EndToEndTest, AFullDiskNeverLeavesHalfALogOrHalfASettingsFile) {
    FullDiskHook hook({"log.txt", "settings.txt"});
    installFolder = install.program;
    logAtFullDisk.clear();
    RunOptions options;
    options.atPassEnd = FillThenFreeTheDisk;
    ProgramRun run = Fly({"clock ready", "at 0.3 foname Bob", "at 0.8 foname Carol", "at 1.2 quit"},
                         FlyTheAirbus, options);
    EXPECT_FALSE(run.watchdogFired);
    // While the disk was full: whole lines, each of them the run's own, and not the lines of the moment.
    ASSERT_FALSE(logAtFullDisk.empty());
    EXPECT_TRUE(logAtFullDisk.ends_with("\r\n"));
    EXPECT_TRUE(OnDisk(run.log).starts_with(logAtFullDisk));
    EXPECT_EQ(logAtFullDisk.find("Talvero name set as Bob"), std::string::npos);
    EXPECT_FALSE(settingsExistedAtFullDisk) << settingsAtFullDisk;
    // Afterwards: everything.
    EXPECT_EQ(ProgramFile("data/log.txt"), OnDisk(run.log));
    EXPECT_NE(run.log.find("Talvero name set as Bob"), std::string::npos);
    EXPECT_NE(ProgramFile("data/settings.txt").find("\r\ntvo=Carol\r\n"), std::string::npos);
    EXPECT_TRUE(LeftOver(install.program).empty());
}

// A full disk under the 737 add-on's options file: the file stays as it was (the add-on keeps its
// options), the pilot is told, and start-up goes on.
TEST_F(EndToEndTest, AFullDiskLeavesThe737OptionsFileAsItWas) {
    FullDiskHook hook({"737_Options.ini"});
    diskFull = true;
    const std::string before = ReadBytes(install.addOnOptions);
    ProgramRun run = Fly({"clock ready", "at 0.3 quit"});
    EXPECT_EQ(ReadBytes(install.addOnOptions), before);
    EXPECT_TRUE(LeftOver(install.root + "/home").empty());
    EXPECT_TRUE(HasLine(SplitLines(run.log), "PMDG .ini file can not be written: "));
    ASSERT_FALSE(run.infoBoxes.empty());
    EXPECT_TRUE(run.infoBoxes[0].starts_with("PMDG .ini file can not be written: ")) << run.infoBoxes[0];
    EXPECT_GT(run.passes, 0);
}

// A settings file made read-only is left as it is: settings changed by the module hold for the run, the
// file keeps the user's values.
TEST_F(EndToEndTest, AReadOnlySettingsFileIsLeftAsItIs) {
    const std::string path = install.program + "/data/settings.txt";
    const std::string pinned = "voice=1\r\nvolume=80\r\nrate=50\r\ncap=Ann\r\ntvo=Linda";
    WriteBytes(path, pinned);
    namespace fs = std::filesystem;
    fs::permissions(path, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    ProgramRun run = Fly({"clock ready", "at 0.3 foname Bob", "at 0.6 quit"}, FlyTheAirbus);
    fs::permissions(path, fs::perms::owner_write, fs::perm_options::add);
    EXPECT_TRUE(ExitLines(run.log).empty()) << run.log;
    EXPECT_EQ(Settings().officerName, "Bob");
    EXPECT_EQ(ReadBytes(path), pinned);
    EXPECT_TRUE(LeftOver(install.program).empty());
    EXPECT_EQ(ProgramFile("data/log.txt"), OnDisk(run.log));
}

// The simulator's one pipe is busy with another client for a second: the program waits for it at start-up
// and then flies as usual.
TEST_F(EndToEndTest, ABusyPipeIsWaitedForAndTheRunGoesOn) {
    auto standIn = StartStandIn({"clock ready", "at 0.3 quit"}, FlyTheAirbus);
    uint32_t error = 0;
    int waits = 0;
    Transport* other = ConnectPipe("\\\\.\\pipe\\" + install.pipeName, error, waits);
    ASSERT_NE(other, nullptr) << error;
    for (int i = 0; i < 200 && !HasLine(standIn->Transcript(), "client 1 connected"); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    std::thread release([other] {
        std::this_thread::sleep_for(std::chrono::seconds(1));
        TransportClose(other);
        TransportFree(other);
    });
    ProgramRun run = Run();
    release.join();
    standIn->Stop();
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_TRUE(ExitLines(run.log).empty()) << run.log;
    EXPECT_GT(run.passes, 0);
    ASSERT_FALSE(SimConnectClient().attempts.empty());
    EXPECT_NE(SimConnectClient().attempts[0].find(" busy-waits 1 ok"), std::string::npos)
        << SimConnectClient().attempts[0];
    EXPECT_TRUE(HasLine(standIn->Transcript(), "client 2 #1 Open size=296"));
    EXPECT_EQ(ProgramFile("data/log.txt"), OnDisk(run.log));
}
