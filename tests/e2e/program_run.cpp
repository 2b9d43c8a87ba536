// The whole program in this process against the stand-in on a thread: installation, state reset, run.
#include "tests/e2e/program_run.h"

#include "app/frame.h"
#include "base/log.h"
#include "base/settings.h"
#include "flow/executer.h"
#include "flow/monitor.h"
#include "flow/phrase_text.h"
#include "scenario/scenario.h"
#include "platform/clock.h"
#include "platform/known_folders.h"
#include "platform/message_box.h"
#include "platform/profile.h"
#include "platform/simulator_prefixes.h"
#include "poses/pose_catalogue.h"
#include "simlink/client/client.h"
#include "simlink/client_data.h"
#include "app/dispatch.h"
#include "systems/drf_arrays.h"
#include "simlink/module_protocol.h"
#include "systems/phrase_context.h"
#include "speech/recognition.h"
#include "speech/recognition_state.h"
#include "speech/simulated_voice.h"
#include "speech/speech_output.h"
#include "tests/fakes/captain_feed.h"
#include "systems/model.h"
#include "widget/parent_window.h"
#include "widget/widget_lists.h"
#include "widget/widget_window.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {
std::string Unique(const std::string& stem) {
    static std::atomic<int> counter{0};
    auto stamp = std::chrono::steady_clock::now().time_since_epoch().count() % 1000000000;
    return stem + "-" + std::to_string(stamp) + "-" + std::to_string(counter++);
}

void WriteFile(const std::string& path, const std::string& bytes) {
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream out(path, std::ios::binary);
    out << bytes;
}

// ---- The frame's entries, wrapped to watch the run ----
struct RunWatch {
    FrameSubsystems original;
    ProgramRun* run = nullptr;
    int64_t deadline = 0;
    bool endAtFirstPass = false;
    void (*atFirstPass)() = nullptr;
    void (*atQuitSeen)() = nullptr;
    void (*atPassEnd)() = nullptr;
};
RunWatch watch;

void WatchPassStart() {
    ProgramRun& run = *watch.run;
    if (run.passes++ == 0) {
        run.firstPassNanos = MonotonicNanos();
        if (watch.atFirstPass) watch.atFirstPass();
        if (watch.endAtFirstPass) ExitApplication("first pass reached");
    }
    if (watch.original.sendQueuedMessage) watch.original.sendQueuedMessage();
}

void WatchDispatch() {
    if (watch.original.dispatchSimulator) watch.original.dispatchSimulator();
    if (Frame().quitRequested && watch.run->passesAtQuit < 0) {
        watch.run->passesAtQuit = watch.run->passes;
        if (watch.atQuitSeen) watch.atQuitSeen();
    }
}

// Last entry of every pass: the watchdog. It ends the run the way any fatal condition would.
void WatchPassEnd() {
    if (watch.original.pollRecognition) watch.original.pollRecognition();
    if (watch.atPassEnd) watch.atPassEnd();
    if (!watch.run->watchdogFired && MonotonicNanos() > watch.deadline) {
        watch.run->watchdogFired = true;
        ExitApplication("end-to-end watchdog");
    }
}

void WatchCloseSimulator(bool clearDefinition) {
    watch.run->shutdown.push_back(clearDefinition ? "closeSimulator clear" : "closeSimulator");
    watch.original.closeSimulator(clearDefinition);
}

void WatchShutdownRecognition() {
    watch.run->shutdown.push_back("shutdownRecognition");
    watch.original.shutdownRecognition();
}

void WatchShutdownGraphics() {
    watch.run->shutdown.push_back("shutdownGraphics");
    watch.original.shutdownGraphics();
}

void WatchDestroyWidget() {
    watch.run->shutdown.push_back("destroyWidget");
    watch.original.destroyWidget();
}

void RecordInfoBox(const std::string& text, const std::string&) {
    watch.run->infoBoxes.push_back(text);
}

FrameSubsystems Watched(const FrameSubsystems& real) {
    watch.original = real;
    FrameSubsystems s = real;
    s.sendQueuedMessage = WatchPassStart;
    s.dispatchSimulator = WatchDispatch;
    s.pollRecognition = WatchPassEnd;
    // Entries the program leaves empty stay empty: the frame skips them.
    if (real.closeSimulator) s.closeSimulator = WatchCloseSimulator;
    if (real.shutdownRecognition) s.shutdownRecognition = WatchShutdownRecognition;
    if (real.shutdownGraphics) s.shutdownGraphics = WatchShutdownGraphics;
    if (real.destroyWidget) s.destroyWidget = WatchDestroyWidget;
    return s;
}
} // namespace

Installation LayOutInstallation(const std::string& root) {
    Installation in;
    in.root = fs::absolute(root).generic_string();
    in.community = in.root + "/MSFS/Community";
    in.program = in.community + "/quillbrook-talvero";
    in.local = in.root + "/home/local";
    in.roaming = in.root + "/home/roaming";
    in.documents = in.root + "/home/documents";
    in.allUsers = in.root + "/allusers";
    const std::string store =
        in.local + "/Packages/Microsoft.FlightSimulator_8wekyb3d8bbwe/LocalState/packages";
    in.work = store + "/quillbrook-talvero/work/";
    in.addOnOptions = store + "/pmdg-aircraft-738/work/737_Options.ini";
    in.pipeName = Unique("talvero-e2e");
    in.registryKey = "SOFTWARE\\Talvero\\EndToEnd\\" + Unique("key");

    for (const std::string& folder : {in.program, in.roaming, in.documents, in.allUsers, in.work})
        fs::create_directories(folder);
    // The user's runtime folder of Linux, where the single-instance lock and the pipe's socket live: one of
    // the installation's own, so that no other copy of the program or of a test on this machine meets
    // ours (on Windows the variable is set and nothing reads it).
    in.runtime = in.root + "/runtime";
    fs::create_directories(in.runtime);
    fs::permissions(in.runtime, fs::perms::owner_all, fs::perm_options::replace);
    static std::deque<std::string> environment; // putenv keeps the text itself
    environment.push_back("XDG_RUNTIME_DIR=" + in.runtime);
    putenv(environment.back().data());
    fs::copy(fs::absolute(std::string(TALVERO_SOURCE_DIR) + "/data"), in.program + "/data",
             fs::copy_options::recursive);
    fs::remove(in.program + "/data/README.md");
    WriteFile(in.work + "drf.txt", ""); // the module has been installed: its work folder holds its file

    WriteFile(in.addOnOptions, "[SDK]\r\nEnableDataBroadcast = 0\r\n");
    const std::string addOn = in.community + "/pmdg-aircraft-738";
    const std::string models = addOn + "/SimObjects/Airplanes/PMDG 737-800/model.BW";
    WriteFile(addOn + "/manifest.json", "{\"title\":\"PMDG 737-800 (stand-in)\"}");
    fs::create_directories(in.community +
                           "/quillbrook-talvero-pmdg-738/SimObjects/Airplanes/TalVero_PMDG738/model.BW");
    const std::string gltf =
        "{\"asset\":{\"version\":\"2.0\"},\"nodes\":[{\"name\":\"yoke\"},{\"name\":\"mcp\"}],"
        "\"scene\":0,\"scenes\":[{\"nodes\":[0,1]}],\"skins\":[]}";
    WriteFile(models + "/PMDG_737-800NG_VC.gltf", gltf);
    WriteFile(models + "/PMDG_737-800NG_VC_LOD1.gltf", gltf);
    WriteFile(models + "/PMDG_737-800NG_VC.bin", std::string(4096, '\0'));
    WriteFile(models + "/PMDG_737-800NG_VC_LOD1.bin", std::string(2048, '\0'));
    return in;
}

// ---- The stand-in ----

StandInThread::StandInThread(const Installation& installation, const std::vector<std::string>& scenario,
                             const std::function<void(standin::StandIn&)>& configure) {
    s.keepTranscript = true;
    standin::Options& o = s.options;
    o.quiet = true;
    o.pipe = true;
    o.pipeName = installation.pipeName;
    o.registryKey = installation.registryKey;
    o.workFolder = installation.work;
    o.programFolder = installation.program;
    o.assignByFile = true;
    o.maxSeconds = 30; // a bound of its own, whatever the program does
    if (!standin::ParseScenario(scenario, s.scenario, failure)) return;
    if (configure) configure(s);
    thread = std::thread([this] { standin::Run(s); });
    // Listening comes within milliseconds; a stand-in that cannot listen says why at once.
    for (int i = 0; i < 1000 && !s.ready && s.failure.empty(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    started = s.ready;
    if (!started) failure = s.failure.empty() ? "the stand-in did not start listening" : s.failure;
}

StandInThread::~StandInThread() {
    Stop();
}

void StandInThread::Stop() {
    s.stop = true;
    if (thread.joinable()) thread.join();
}

std::vector<std::string> StandInThread::Transcript() {
    std::lock_guard<std::mutex> guard(s.transcriptLock);
    return s.transcript;
}

std::vector<std::string> StandInThread::LogLines() {
    std::lock_guard<std::mutex> guard(s.transcriptLock);
    return s.logLines;
}

void AddAction(standin::Scenario& scenario, double time, const std::string& verb,
               const std::string& argument) {
    standin::ScenarioAction action;
    action.time = time;
    action.verb = verb;
    action.argument = argument;
    auto at = std::upper_bound(scenario.actions.begin(), scenario.actions.end(), time,
                               [](double t, const standin::ScenarioAction& a) { return t < a.time; });
    scenario.actions.insert(at, action);
}

// ---- The program ----

void ResetProgramState() {
    ResetFrame();
    ResetLog();
    ResetSettings();
    ResetSystems();
    ResetPhraseText();
    ResetMonitor();
    ResetExecuter();
    Scenario() = ScenarioState{};
    ResetModuleProtocol();
    ModuleProtocol().sender = ModuleSender{};
    ResetDispatch();
    ResetSimLink();
    ResetSimConnectClient();
    ResetDrfArrays();
    ResetPhraseContext();
    ResetRecognition();
    CaptainFeed() = CaptainFeedState{};
    RecogniserInUse() = RecogniserChoice{CaptainFeedRecogniser()};
    ResetSpeechOutput();
    UseSimulatedVoice();
    ResetPoseCatalogue();
    ResetWidgetLists();
    ResetWidgetWindow();
    ResetParentWindow();
}

// The platform's recogniser loaded and idle beside the captain's feed, which hears the phrases.
Recogniser LoadedIdleRecogniser() {
    Recogniser r;
    r.start = [](const std::vector<std::string>& phrases) {
        return PlatformRecogniser().start(phrases) && CaptainFeedRecogniser().start(phrases);
    };
    r.setGrammar = [](const std::vector<std::string>& phrases) {
        return PlatformRecogniser().setGrammar(phrases) && CaptainFeedRecogniser().setGrammar(phrases);
    };
    r.listen = CaptainFeedRecogniser().listen;
    r.nextResult = CaptainFeedRecogniser().nextResult;
    r.close = PlatformRecogniser().close;
    return r;
}

ProgramRun RunProgram(const Installation& in, const RunOptions& options) {
    ProgramRun run;
    ResetProgramState();
    if (options.platformSpeech) {
        SpeechOutput().engine = PlatformSpeechEngine();
        RecogniserInUse() = RecogniserChoice{options.recogniserIdle ? LoadedIdleRecogniser() : PlatformRecogniser()};
    }
    OverrideKnownFolder(KnownFolder::LocalAppData, in.local);
    OverrideKnownFolder(KnownFolder::RoamingAppData, in.roaming);
    OverrideKnownFolder(KnownFolder::Documents, in.documents);
    OverrideSimulatorPrefixes(std::vector<SimulatorPrefix>{}); // the machine's own Steam never counts
    OverrideConfigFolder(ConfigFolder::AllUsersDocuments, in.allUsers);
    OverrideConfigFolder(ConfigFolder::UserDocuments, in.documents);
    SimConnectClient().defaultPipeName = in.pipeName;
    SimConnectClient().registryKey = in.registryKey;
    watch = RunWatch{};
    watch.run = &run;
    watch.endAtFirstPass = options.endAtFirstPass;
    watch.atFirstPass = options.atFirstPass;
    watch.atQuitSeen = options.atQuitSeen;
    watch.atPassEnd = options.atPassEnd;
    SetInfoBoxHook(RecordInfoBox);

    {
        // The program's paths are relative to its folder; the caller's working folder comes back however
        // the run ends.
        struct InFolder {
            fs::path previous = fs::current_path();
            explicit InFolder(const std::string& folder) { fs::current_path(folder); }
            ~InFolder() {
                std::error_code ec;
                fs::current_path(previous, ec);
            }
        } inProgramFolder(in.program);
        FrameSubsystems subsystems = Watched(DefaultSubsystems());
        Frame().aircraftAnswerTimeout = options.aircraftAnswerSeconds;
        run.launchNanos = MonotonicNanos();
        watch.deadline = run.launchNanos + static_cast<int64_t>(options.watchdogSeconds * 1e9);
        run.exitCode = RunApplication(subsystems, PlatformClock());
    }

    run.log = Log().log.text;
    // An exception or a refusal can leave the connection open; nothing of this run may reach the next.
    CloseSimulatorLink(false);
    SetInfoBoxHook(nullptr);
    ResetConfigFolders();
    ResetKnownFolders();
    ResetSimulatorPrefixes();
    watch = RunWatch{};
    return run;
}

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

bool HasLine(const std::vector<std::string>& lines, const std::string& part) {
    for (const std::string& line : lines)
        if (line.find(part) != std::string::npos) return true;
    return false;
}
