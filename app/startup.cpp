// Start-up in its fixed order, the main loop's passes and the orderly shutdown.
#include "app/frame.h"

#include "base/helpers.h"
#include "base/log.h"
#include "base/version.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "platform/known_folders.h"
#include "platform/message_box.h"
#include "platform/simulator_prefixes.h"
#include "platform/single_instance.h"

#include <cstdio>
#include <exception>

#ifndef TALVERO_BUILD_DATE
#define TALVERO_BUILD_DATE __DATE__
#define TALVERO_BUILD_TIME __TIME__
#endif

namespace {
const char* kStoreWorkFolder = "/Packages/Microsoft.FlightSimulator_8wekyb3d8bbwe/LocalState/packages/quillbrook-talvero/work/";
const char* kSteamWorkFolder = "/Microsoft Flight Simulator/Packages/quillbrook-talvero/work/";

double SecondsSinceStart(int64_t nanos) { return static_cast<double>(nanos - Frame().startInstant) / 1e9; }

bool WriteProbeOk() {
    char sep = NativeSeparator();
    std::string probe = CurrentDirectory() + sep + "data" + sep + "PM738" + sep + "tmp.txt";
    std::FILE* f = std::fopen(probe.c_str(), "wb");
    if (!f) return false;
    std::fclose(f);
    return true;
}

// The store edition's work folder, else the other edition's, under one pair of application data folders.
bool WorkFolderUnder(const std::string& local, const std::string& roaming) {
    FrameState& frame = Frame();
    if (FileExists(local + kStoreWorkFolder + "drf.txt")) {
        frame.wasmWorkPath = local + kStoreWorkFolder;
    } else if (FileExists(roaming + kSteamWorkFolder + "drf.txt")) {
        frame.wasmWorkPath = roaming + kSteamWorkFolder;
    } else {
        return false;
    }
    return true;
}

// A simulator under Proton keeps the module's folder inside its prefix, so every prefix of every Steam
// library is searched before the user's own folders (there are none to search where the simulator runs
// natively).
bool FindModuleWorkFolder(const std::string& local, const std::string& roaming) {
    for (const SimulatorPrefix& prefix : SimulatorPrefixes()) {
        if (!WorkFolderUnder(prefix.local, prefix.roaming)) continue;
        WriteLog("WASM WorkPath found in the Proton prefix of Steam application " + prefix.appId +
                 " in the Steam library " + prefix.library);
        return true;
    }
    return WorkFolderUnder(local, roaming);
}

// Dispatches until the module has named the aircraft folder, or the time-out has passed.
bool WaitForAircraft() {
    FrameState& frame = Frame();
    const FrameSubsystems& s = frame.subsystems;
    int64_t began = frame.clock.now();
    int64_t limit = static_cast<int64_t>(frame.aircraftAnswerTimeout * 1e9);
    while (frame.AcfPath.empty() && !frame.quitRequested) {
        if (s.dispatchSimulator) s.dispatchSimulator();
        if (!frame.AcfPath.empty() || frame.quitRequested) break;
        if (frame.clock.now() - began >= limit) return false;
        // A short sleep between empty dispatches: the answer comes in well under a second, and the
        // simulator beside us needs the processor more than this wait does.
        if (frame.clock.sleep) frame.clock.sleep(1000000);
    }
    return !frame.quitRequested;
}
} // namespace

bool StartUp() {
    FrameState& frame = Frame();
    const FrameSubsystems& s = frame.subsystems;

    std::string lockFailure;
    if (!AcquireSingleInstance(frame.instanceName, &lockFailure)) {
        if (!lockFailure.empty()) {
            // The guard could not be made at all: that is no second copy, and the pilot needs to know what
            // failed to mend it.
            ShowInfoBox("TALVERO could not take its single-instance lock: " + lockFailure, "Information");
            ExitApplication("The single-instance lock could not be made: " + lockFailure);
            return false;
        }
        ShowInfoBox("TALVERO application is already running", "Information");
        ExitApplication("Trying to run another copy - TALVERO application is already running");
        return false;
    }
    frame.instanceHeld = true;

    WriteLog(std::string("DVersion: ") + TALVERO_BUILD_DATE + " / " + TALVERO_BUILD_TIME + " (version " +
             ProgramVersion() + ")");

    if (!WriteProbeOk()) {
        ShowInfoBox("Look like \"quillbrook-talvero\" folder is read only. Please right mouse click on it, select "
                    "properties and check Off read-only attribute. Next - run .exe file again.",
                    "Information");
        ExitApplication("quillbrook-talvero folder is read only");
        return false;
    }

    WriteLog("LogTime: " + LocalTimeText());

    auto local = KnownFolderPath(KnownFolder::LocalAppData);
    auto roaming = KnownFolderPath(KnownFolder::RoamingAppData);
    if (!local || !roaming) {
        ExitApplication("EXIT REASON: LOCALAPPDATA folder was not found");
        return false;
    }
    WriteLog("LOCALAPPDATA folder=" + *local);
    WriteLog("APPDATA folder=" + *roaming);

    if (!FindModuleWorkFolder(*local, *roaming)) {
        ExitApplication("EXIT REASON: Work fplder for WASM was not found");
        return false;
    }
    WriteLog("WASM WorkPath: " + frame.wasmWorkPath);
    WriteLog(".");

    frame.startInstant = frame.clock.now();
    if (s.startGraphics) s.startGraphics();
    WriteLog("..");
    WriteLog("...");

    bool connected = s.connectSimulator && s.connectSimulator();
    WriteLog("....");
    if (!connected) {
        ExitApplication("No simconnect connection");
        // Where reaching the simulator needs a step on its side, the pilot is told which.
        std::vector<std::string> hint = ConnectionFailureHint();
        if (!hint.empty()) {
            std::string text;
            for (const std::string& line : hint) {
                WriteLog(line);
                text += (text.empty() ? "" : " ") + line;
            }
            ShowInfoBox(text, "Information");
        }
        return false;
    }
    WriteLog("hSimConnect connection Ok");

    if (s.requestAircraft) s.requestAircraft();
    WriteLog("AcfPath Request msgtype_REQUESTACF");
    if (!WaitForAircraft()) {
        if (!frame.quitRequested) {
            char seconds[32];
            std::snprintf(seconds, sizeof seconds, "%g", frame.aircraftAnswerTimeout);
            ExitApplication(std::string("The simulator module did not name the aircraft within ") + seconds +
                            " seconds");
        }
        return false;
    }
    WriteLog("MyDispatchProcWE Done");

    if (frame.AcfPath == kAircraft320) {
        frame.aircraftKind = 1;
    } else if (frame.AcfPath == kAircraft737) {
        frame.aircraftKind = 0;
    } else {
        ExitApplication("AcfType");
        return false;
    }
    WriteLog("AcfPath=" + frame.AcfPath);

    if (frame.aircraftKind == 0) {
        if (s.checkAircraftOptions) s.checkAircraftOptions();
        if (frame.quitRequested) return false;
        if (s.installCockpitModel) s.installCockpitModel();
        if (frame.quitRequested) return false;
    }

    if (s.startSpeech) s.startSpeech();
    if (s.startRecognition && !s.startRecognition()) WriteLog("Recognition Init Failure");
    if (s.loadSettings) s.loadSettings();
    if (s.buildWidgetTitles) s.buildWidgetTitles();
    if (s.scanPoses) s.scanPoses();
    ClearDrfText();
    if (s.createSystems) s.createSystems();

    WriteLog("");
    WriteLog("---CONTEXT:");
    WriteLog("---CONTEXT Size():" + ToString(s.phraseContextSize ? s.phraseContextSize() : 0));
    WriteLog("---END CONTEXT");
    WriteLog("");
    if (s.dumpPhraseContext) s.dumpPhraseContext();

    if (s.queueStartupComplete) s.queueStartupComplete();
    if (s.registerWidgetClass) s.registerWidgetClass();
    return !frame.quitRequested;
}

bool RunPass() {
    FrameState& frame = Frame();
    const FrameSubsystems& s = frame.subsystems;
    if (frame.quitRequested) {
        if (s.destroyWidget) s.destroyWidget();
        return false;
    }
    if (frame.passPeriod > 0) PaceTo(frame.lastPassStartNanos + static_cast<int64_t>(frame.passPeriod * 1e9));
    int64_t now = frame.clock.now();
    frame.frameTime = SecondsSinceStart(now);
    frame.passPeriod = 0.02;
    frame.lastPassStart = frame.frameTime;
    frame.lastPassStartNanos = now;

    if (s.sendQueuedMessage) s.sendQueuedMessage();
    if (s.dispatchSimulator) s.dispatchSimulator();
    if (s.trackAndPlaceWidget) s.trackAndPlaceWidget();
    if (s.monitor) s.monitor();
    if (s.sendDrfE2W) s.sendDrfE2W();
    if (s.executer) s.executer();
    if (s.speechMonitor) s.speechMonitor();
    if (s.pollRecognition) s.pollRecognition();
    return true;
}

bool MainLoop() {
    try {
        while (RunPass()) {
        }
    } catch (const std::exception& e) {
        WriteLog(std::string("Main loop stopped by an exception: ") + e.what());
        return false;
    } catch (...) {
        WriteLog("Main loop stopped by an exception");
        return false;
    }
    return true;
}

void Shutdown() {
    FrameState& frame = Frame();
    const FrameSubsystems& s = frame.subsystems;
    if (s.closeSimulator && s.simulatorConnected && s.simulatorConnected()) s.closeSimulator(true);
    if (s.shutdownGraphics) s.shutdownGraphics();
    if (s.shutdownRecognition) s.shutdownRecognition();
    if (frame.instanceHeld) {
        ReleaseSingleInstance();
        frame.instanceHeld = false;
    }
}

int RunApplication(const FrameSubsystems& subsystems, const ClockOps& clock) {
    FrameState& frame = Frame();
    frame.subsystems = subsystems;
    frame.clock = clock;
    if (!StartUp()) return 0;
    if (!MainLoop()) return 1;
    Shutdown();
    return 0;
}
