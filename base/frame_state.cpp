// The running program's state and the exit routine.
#include "base/frame_state.h"

#include "base/log.h"
#include "platform/single_instance.h"

FrameState& Frame() {
    static FrameState state;
    return state;
}

void ResetFrame() {
    Frame() = FrameState{};
}

void ExitApplication(const std::string& reason) {
    FrameState& frame = Frame();
    WriteLog("EXIT: " + reason);
    frame.quitRequested = true;
    const FrameSubsystems& s = frame.subsystems;
    if (s.closeSimulator && (!s.simulatorConnected || s.simulatorConnected())) s.closeSimulator(false);
    if (frame.instanceHeld) {
        ReleaseSingleInstance();
        frame.instanceHeld = false;
    }
    if (s.postQuit) s.postQuit();
}
