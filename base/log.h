// The run log "./data/log.txt" and the DRF list "./data/drf.txt": whole-run text buffers kept in memory,
// each file complete after every line, CR LF on disk.
#pragma once
#include <string>
#include <vector>

struct LogFile {
    std::string path;
    std::string text;         // the whole run's text, every line ending with a line feed
    size_t writtenUpTo = 0;   // how much of `text` the file on disk holds
    long long diskBytes = -1; // the file's size as this process last wrote it; -1 when unknown
    std::string diskTail;     // the last bytes this process wrote, to see whether another wrote since
};

struct LogState {
    LogFile log{"./data/log.txt"};
    LogFile drf{"./data/drf.txt"};
};
LogState& Log();
// Empties both buffers and forgets what is on disk (tests; a new run).
void ResetLog();

void WriteLog(const std::string& line);
void AppendLog(const std::string& line);
void AppendLogList(const std::string& title, const std::vector<std::string>& lines);
void WriteDrfLine(const std::string& line);
void ClearDrfText();
// Diagnostic texts that are not part of the log: no visible effect.
void DebugTrace(const std::string& text1, const std::string& text2);
