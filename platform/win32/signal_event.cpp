// The client's wake-up event on Windows: an auto-reset event object, and PostMessageA for the window.
#include "platform/signal_event.h"

#include <windows.h>

SignalEvent* CreateSignalEvent() { return reinterpret_cast<SignalEvent*>(CreateEventA(nullptr, FALSE, FALSE, nullptr)); }

void SetSignalEvent(SignalEvent* event) {
    if (event) SetEvent(reinterpret_cast<HANDLE>(event));
}

bool WaitSignalEvent(SignalEvent* event, int milliseconds) {
    if (!event) return false;
    return WaitForSingleObject(reinterpret_cast<HANDLE>(event), static_cast<DWORD>(milliseconds)) == WAIT_OBJECT_0;
}

void CloseSignalEvent(SignalEvent* event) {
    if (event) CloseHandle(reinterpret_cast<HANDLE>(event));
}

void PostWindowMessage(void* window, uint32_t message) {
    PostMessageA(reinterpret_cast<HWND>(window), message, 0, 0);
}
