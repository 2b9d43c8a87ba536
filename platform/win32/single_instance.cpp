// The single-instance guard on Windows: a named mutex taken without waiting.
#include "platform/single_instance.h"

#include <windows.h>

namespace {
HANDLE singleInstanceMutex = nullptr;
}

bool AcquireSingleInstance(const std::string& name) {
    if (!singleInstanceMutex) singleInstanceMutex = CreateMutexA(nullptr, FALSE, name.c_str());
    if (!singleInstanceMutex) return false;
    DWORD result = WaitForSingleObject(singleInstanceMutex, 0);
    return result == WAIT_OBJECT_0 || result == WAIT_ABANDONED;
}

void ReleaseSingleInstance() {
    if (!singleInstanceMutex) return;
    ReleaseMutex(singleInstanceMutex);
    CloseHandle(singleInstanceMutex);
    singleInstanceMutex = nullptr;
}
