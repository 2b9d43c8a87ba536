// Lower scheduling weight for a worker thread on Windows.
#include "platform/thread_priority.h"

#include <windows.h>

void LowerThisThreadPriority() {
    (void)SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_BELOW_NORMAL);
}
