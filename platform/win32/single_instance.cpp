// The single-instance guard on Windows: the named mutex, taken without waiting.
#include "platform/single_instance.h"

#include <windows.h>

namespace {
HANDLE singleInstanceMutex = nullptr;
}

bool AcquireSingleInstance(const std::string& name, std::string* failure) {
    if (failure) failure->clear();
    HANDLE mutex = CreateMutexA(nullptr, FALSE, name.c_str());
    if (!mutex) {
        // A mutex of that name made by another user or at another integrity level refuses access: a copy
        // runs there. Anything else means the guard could not be made.
        DWORD error = GetLastError();
        if (error != ERROR_ACCESS_DENIED && failure)
            *failure = "the mutex \"" + name + "\": CreateMutexA failed with error " + std::to_string(error);
        return false;
    }
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
