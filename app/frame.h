// The application frame: start-up, the 20 ms main loop and shutdown, over the running program's state
// (base/frame_state.h).
#pragma once
#include "base/frame_state.h"

#include <cstdint>
#include <string>

// The whole run: start-up, main loop, shutdown. 0 after an orderly end or a refusal, 1 when an exception
// escaped a pass.
int RunApplication(const FrameSubsystems& subsystems, const ClockOps& clock);
// Start-up steps in order; false when a step refused (ExitApplication has run).
bool StartUp();
// Passes until quit; false when an exception escaped a pass.
bool MainLoop();
void Shutdown();
// One pass, from the quit test on; false when the loop should end.
bool RunPass();
// Waits until `deadline` (monotonic nanoseconds) by sleeping to it; returns at once when it has passed,
// and never before it.
void PaceTo(int64_t deadline);

// The subsystems of the program as it stands, and the platform's clock.
FrameSubsystems DefaultSubsystems();
ClockOps PlatformClock();
