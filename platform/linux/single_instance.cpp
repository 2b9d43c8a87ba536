// The single-instance guard on Linux: flock on a lock file in the user's runtime folder, released by the
// kernel when the process ends, however it ends. Where the runtime folder is missing or unusable (as after
// `su`, or in some sandboxes) the lock lives in a private folder of the user's own under the temporary
// folder instead, so that every copy started from such a shell still meets the others there.
#include "platform/single_instance.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
int lockFile = -1;

std::string LockFileName(const std::string& name) {
    return name + "-" + std::to_string(getuid()) + ".lock";
}

// "talvero-<uid>" in TMPDIR (or /tmp), made private to the user; empty with `failure` set when it cannot
// be made or is not the user's own private folder (someone else's folder there must not hold our lock).
std::string PrivateTemporaryFolder(std::string& failure) {
    const char* tmp = std::getenv("TMPDIR");
    std::string folder = std::string((tmp && *tmp) ? tmp : "/tmp") + "/talvero-" + std::to_string(getuid());
    if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
        failure = folder + ": " + std::strerror(errno);
        return {};
    }
    struct stat st{};
    if (lstat(folder.c_str(), &st) != 0) {
        failure = folder + ": " + std::strerror(errno);
        return {};
    }
    if (!S_ISDIR(st.st_mode) || st.st_uid != getuid() || (st.st_mode & 077) != 0) {
        failure = folder + ": not a folder private to this user";
        return {};
    }
    return folder;
}

// Opens and locks the file. 1 when locked, 0 when another holder has it, -1 when it cannot be opened or
// locked for another reason (`failure` says which file and why).
int LockIn(const std::string& path, int& fd, std::string& failure) {
    fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) {
        failure = path + ": " + std::strerror(errno);
        return -1;
    }
    if (flock(fd, LOCK_EX | LOCK_NB) == 0) return 1;
    int error = errno;
    close(fd);
    fd = -1;
    if (error == EWOULDBLOCK) return 0;
    failure = path + ": " + std::strerror(error);
    return -1;
}
} // namespace

bool AcquireSingleInstance(const std::string& name, std::string* failure) {
    std::string why;
    int fd = -1;
    int outcome = -1;
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime && *runtime) outcome = LockIn(std::string(runtime) + "/" + LockFileName(name), fd, why);
    if (outcome < 0) {
        std::string whyNot;
        std::string folder = PrivateTemporaryFolder(whyNot);
        if (!folder.empty()) outcome = LockIn(folder + "/" + LockFileName(name), fd, whyNot);
        why += (why.empty() ? "" : "; ") + whyNot;
    }
    if (outcome <= 0) {
        if (failure) *failure = outcome < 0 ? why : std::string();
        return false;
    }
    if (lockFile >= 0) {
        close(fd);
    } else {
        lockFile = fd;
    }
    if (failure) failure->clear();
    return true;
}

void ReleaseSingleInstance() {
    if (lockFile < 0) return;
    flock(lockFile, LOCK_UN);
    close(lockFile);
    lockFile = -1;
}
