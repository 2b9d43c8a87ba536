// The one way bytes reach a file: every write of the file helpers and of the log goes through
// PutFileBytes, so a test can stand in for a full disk in one place.
#pragma once
#include <cstdio>
#include <string>

// Tests stand in for a full disk with a hook that says how many of the bytes for `path` still fit: fewer
// than asked makes the write put those and fail, as a full disk does. Null (the default) lets all through.
using WriteFaultHook = size_t (*)(const std::string& path, size_t bytes);
void SetWriteFaultHook(WriteFaultHook hook);
// Writes the bytes to the open file; false when not all of them went.
bool PutFileBytes(std::FILE* file, const std::string& path, const char* data, size_t size);
