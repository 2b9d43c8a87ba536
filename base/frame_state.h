// The state of the running program that every part reads: the pass's frame time, the aircraft and work
// folders, the quit request, and the one way to end the program. The frame (app/frame) runs the passes.
#pragma once
#include <cstdint>
#include <string>

// What the frame calls in the other subsystems, in start-up and pass order. The program fills it with
// the real subsystems (DefaultSubsystems); tests fill it with their own. An empty entry is skipped.
struct FrameSubsystems {
    // Start-up.
    void (*startGraphics)() = nullptr;        // graphics start-up and the widget's font family
    bool (*connectSimulator)() = nullptr;     // connection and client data areas; true when connected
    void (*requestAircraft)() = nullptr;      // the aircraft request, written directly
    void (*checkAircraftOptions)() = nullptr; // 737 only
    void (*installCockpitModel)() = nullptr;  // 737 only
    void (*startSpeech)() = nullptr;
    bool (*startRecognition)() = nullptr; // false: "Recognition Init Failure", start-up goes on
    void (*loadSettings)() = nullptr;
    void (*buildWidgetTitles)() = nullptr;
    void (*scanPoses)() = nullptr;
    void (*createSystems)() = nullptr; // systems files, logic, phrase registration, grammar
    int (*phraseContextSize)() = nullptr;
    void (*dumpPhraseContext)() = nullptr;
    void (*queueStartupComplete)() = nullptr; // the start-up-complete module message
    void (*registerWidgetClass)() = nullptr;
    // Each pass, after pacing.
    void (*sendQueuedMessage)() = nullptr;
    void (*dispatchSimulator)() = nullptr; // also the start-up wait for the aircraft answer
    void (*trackAndPlaceWidget)() = nullptr;
    void (*monitor)() = nullptr;
    void (*sendDrfE2W)() = nullptr;
    void (*executer)() = nullptr;
    void (*speechMonitor)() = nullptr;
    void (*pollRecognition)() = nullptr;
    // Quit and shutdown.
    void (*destroyWidget)() = nullptr;
    bool (*simulatorConnected)() = nullptr;
    void (*closeSimulator)(bool clearDefinition) = nullptr; // clear definition 1 first when asked
    void (*shutdownGraphics)() = nullptr;
    void (*shutdownRecognition)() = nullptr;
    void (*postQuit)() = nullptr;
};

// The clock the main loop paces on; tests give a fake one.
struct ClockOps {
    int64_t (*now)() = nullptr;            // monotonic nanoseconds
    void (*sleep)(int64_t) = nullptr;      // give up the processor for about that long
    void (*sleepUntil)(int64_t) = nullptr; // give it up until about that reading of `now`
};

struct FrameState {
    bool quitRequested = false;
    int64_t startInstant = 0; // monotonic nanoseconds, origin of frameTime
    double frameTime = 0;     // seconds since start-up, sampled once per pass
    double lastPassStart = 0;
    double passPeriod = 0;
    int64_t lastPassStartNanos = 0;
    std::string wasmWorkPath;
    std::string AcfPath;
    int aircraftKind = -1;
    bool instanceHeld = false;
    std::string instanceName = "TvoMutex"; // the single-instance guard's name
    double aircraftAnswerTimeout = 60.0;   // seconds the start-up waits for the module's aircraft answer
    int64_t pacingSleeps = 0;              // sleeps the pacing has taken, for the benchmarks and tests
    FrameSubsystems subsystems;
    ClockOps clock;
};
FrameState& Frame();
void ResetFrame();

// The one way to end the application: logs "EXIT: " + reason, asks the loop to stop, closes the
// simulator connection and the single-instance guard. Returns to its caller.
void ExitApplication(const std::string& reason);

// The module's aircraft folders.
inline const char* kAircraft737 = "./data/PM738";
inline const char* kAircraft320 = "./data/FN320";
