// File-system services on Windows: GetCurrentDirectoryA, CopyFileA, MoveFileExA.
#include "platform/files.h"

#include <windows.h>

std::string CurrentDirectoryPath() {
    char buffer[512] = {};
    DWORD length = GetCurrentDirectoryA(sizeof buffer - 1, buffer);
    if (length == 0 || length >= sizeof buffer - 1) return std::string();
    return std::string(buffer, length);
}

bool CopyFileReplacing(const std::string& source, const std::string& destination, int& errorNumber) {
    if (CopyFileA(source.c_str(), destination.c_str(), FALSE)) return true;
    errorNumber = static_cast<int>(GetLastError());
    return false;
}

bool ReplaceFileWith(const std::string& source, const std::string& destination, int* errorNumber) {
    // A read-only file is not replaced (wine's MoveFileExA would replace it; Windows refuses).
    DWORD attributes = GetFileAttributesA(destination.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) {
        if (errorNumber) *errorNumber = ERROR_ACCESS_DENIED;
        return false;
    }
    if (MoveFileExA(source.c_str(), destination.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return true;
    if (errorNumber) *errorNumber = static_cast<int>(GetLastError());
    return false;
}

char NativeSeparator() { return '\\'; }
