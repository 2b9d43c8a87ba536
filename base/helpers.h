// File and text helpers shared by every subsystem. None throws; failures give an empty result or false.
#pragma once
#include "base/file_bytes.h"

#include <cstdio>
#include <string>
#include <vector>

// Files. "Text mode" means the same bytes on every platform: reading turns CR LF into LF, writing turns
// LF into CR LF.
std::vector<std::string> ReadLines(const std::string& path);
std::string ReadFileToString(const std::string& path);
std::string ReadFileBytes(const std::string& path, bool* ok = nullptr); // binary, no conversion
bool WriteBytes(const std::string& path, const std::string& bytes);      // binary, no conversion
void WriteLines(const std::string& path, const std::vector<std::string>& lines);
bool WriteString(const std::string& path, const std::string& text);
// Writes the text to a new file beside `path`, then puts it in place, so a crash never leaves half a file.
// `written` (when given) tells whether the new file was written whole, so a caller can tell a full disk
// (nothing may be tried in place) from a file that could not be replaced.
bool WriteStringReplacing(const std::string& path, const std::string& text, bool* written = nullptr);
// The same for bytes written as they stand (no line-end conversion).
bool WriteBytesReplacing(const std::string& path, const std::string& bytes, bool* written = nullptr);
bool FileExists(const std::string& path);
bool CopyFileLogged(const std::string& source, const std::string& destination);
std::string Md5OfFile(const std::string& path);
std::string Md5OfBytes(const std::string& bytes);
std::string CurrentDirectory();

// Folders; entries come sorted by name so that every platform lists them in the same order.
std::vector<std::string> ListFolders(const std::string& path);
std::vector<std::string> ListEntriesContaining(const std::string& path, const std::string& text);

// Text.
std::string StripLineBreaks(const std::string& s);
std::string ReplaceFirst(const std::string& s, const std::string& from, const std::string& to);
std::string ReplaceAll(const std::string& s, const std::string& from, const std::string& to);
std::string CollapseSpaces(const std::string& s);
bool IsNumber(const std::string& s);
std::string ToString(int value);
std::vector<std::string> SplitAt(const std::string& s, char separator);
std::string Narrow(const std::u16string& wide);
std::u16string Widen(const std::string& s);
// Leading optional sign and digits, as the C library's atoi reads them but without overflow: false when
// there is no digit; values beyond 32 bits saturate.
bool ReadLeadingInt(const std::string& s, int& value);
