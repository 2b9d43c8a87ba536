// File-system services: the whole-file read everything builds on, and those whose answers differ by
// platform (working folder, file copy).
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
// The file's bytes as they stand (no line-end conversion); `ok` (when given) tells whether it could be
// opened. Portable: the file helpers of the program and the recorded sound of the platform both read with it.
std::string ReadWholeFile(const std::string& path, bool* ok = nullptr);
