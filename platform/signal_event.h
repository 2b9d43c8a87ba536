// An auto-reset event the simulator client sets when a message arrives or the connection drops, and the
// window message it may post: the two ways it can wake the program's main thread.
#pragma once
#include <cstdint>

struct SignalEvent;

// An auto-reset event, not signalled; null on failure (CreateEventA on Windows, a mutex and condition
// variable on Linux).
SignalEvent* CreateSignalEvent();
void SetSignalEvent(SignalEvent* event);
// Waits at most `milliseconds` for the event; true when it was set (it is reset again by the wait).
bool WaitSignalEvent(SignalEvent* event, int milliseconds);
void CloseSignalEvent(SignalEvent* event);

// Posts `message` with both parameters 0 to the window (PostMessageA on Windows; Linux has no windows
// and does nothing).
void PostWindowMessage(void* window, uint32_t message);
