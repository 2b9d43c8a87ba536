// Lower scheduling weight for a worker thread on Linux: each thread has its own nice value, set through
// its thread id.
#include "platform/thread_priority.h"

#include <sys/resource.h>
#include <unistd.h>

void LowerThisThreadPriority() {
    // Raising a thread's nice value needs no privilege; a refusal leaves the thread as it was.
    (void)setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), 10);
}
