// File-system services whose answers differ by platform: working folder and file copy.
#pragma once
#include <string>

// The process's working folder (at most 511 characters), empty on failure.
std::string CurrentDirectoryPath();
// Copies `source` over `destination`, replacing it. On failure returns false with the platform's error
// number (GetLastError on Windows, errno on Linux) in `errorNumber`.
bool CopyFileReplacing(const std::string& source, const std::string& destination, int& errorNumber);
// Replaces `destination` by `source` in one step where the platform allows it (rename over); a read-only
// destination is not replaced. On failure the platform's error number goes to `errorNumber` when one is
// given.
bool ReplaceFileWith(const std::string& source, const std::string& destination, int* errorNumber = nullptr);
// The path separator of fixed paths that the program spells with a backslash: "\" on Windows, "/" on Linux.
char NativeSeparator();
