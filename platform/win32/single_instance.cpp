// The single-instance guard on Windows: the named mutex, taken without waiting.
#include "platform/single_instance.h"

#include <windows.h>

namespace {
HANDLE singleInstanceMutex = nullptr;
}

bool AcquireSingleInstance(const std::string& name) {
    HANDLE mutex = CreateMutexA(nullptr, FALSE, name.c_str());
    if (!mutex) return false;
    DWORD result = WaitForSingleObject(mutex, 0);
    if (result != WAIT_OBJECT_0 && result != WAIT_ABANDONED) {
        CloseHandle(mutex);
        return false;
    }
    if (singleInstanceMutex) {
        ReleaseMutex(mutex);
        CloseHandle(mutex);
    } else {
        singleInstanceMutex = mutex;
    }
    return true;
}

void ReleaseSingleInstance() {
    if (!singleInstanceMutex) return;
    ReleaseMutex(singleInstanceMutex);
    CloseHandle(singleInstanceMutex);
    singleInstanceMutex = nullptr;
}
