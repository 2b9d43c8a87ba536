// File-system services on Linux: getcwd, a byte copy, rename (never over a read-only file).
#include "platform/files.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

std::string CurrentDirectoryPath() {
    char buffer[512] = {};
    if (!getcwd(buffer, sizeof buffer - 1)) return std::string();
    return std::string(buffer);
}

bool CopyFileReplacing(const std::string& source, const std::string& destination, int& errorNumber) {
    int in = open(source.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) {
        errorNumber = errno;
        return false;
    }
    int out = open(destination.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (out < 0) {
        errorNumber = errno;
        close(in);
        return false;
    }
    char buffer[65536];
    bool ok = true;
    for (;;) {
        ssize_t got = read(in, buffer, sizeof buffer);
        if (got == 0) break;
        if (got < 0) {
            if (errno == EINTR) continue;
            errorNumber = errno;
            ok = false;
            break;
        }
        for (ssize_t done = 0; done < got;) {
            ssize_t put = write(out, buffer + done, static_cast<size_t>(got - done));
            if (put < 0) {
                if (errno == EINTR) continue;
                errorNumber = errno;
                ok = false;
                break;
            }
            done += put;
        }
        if (!ok) break;
    }
    close(in);
    if (close(out) != 0 && ok) {
        errorNumber = errno;
        ok = false;
    }
    return ok;
}

bool ReplaceFileWith(const std::string& source, const std::string& destination, int* errorNumber) {
    // A read-only file is not replaced, as on Windows, whatever the folder allows.
    struct stat info;
    if (stat(destination.c_str(), &info) == 0 && (info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) {
        if (errorNumber) *errorNumber = EACCES;
        return false;
    }
    if (std::rename(source.c_str(), destination.c_str()) == 0) return true;
    if (errorNumber) *errorNumber = errno;
    return false;
}

char NativeSeparator() { return '/'; }
