// The single-instance guard on Linux: flock on a lock file in the runtime folder, released by the kernel
// when the process ends, however it ends.
#include "platform/single_instance.h"

#include <cstdlib>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace {
int lockFile = -1;

std::string LockPath(const std::string& name) {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    std::string folder = (runtime && *runtime) ? runtime : "/tmp";
    return folder + "/" + name + "-" + std::to_string(getuid()) + ".lock";
}
} // namespace

bool AcquireSingleInstance(const std::string& name) {
    int fd = open(LockPath(name).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        close(fd);
        return false;
    }
    if (lockFile >= 0) {
        close(fd);
    } else {
        lockFile = fd;
    }
    return true;
}

void ReleaseSingleInstance() {
    if (lockFile < 0) return;
    flock(lockFile, LOCK_UN);
    close(lockFile);
    lockFile = -1;
}
