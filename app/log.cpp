// The run log and the DRF list: buffers in memory, brought to disk after every line. A line costs the same
// however long the run: new text is appended while the file is what this process last wrote, and the whole
// text is rewritten when it is not (another copy truncated it, or an earlier write failed).
#include "app/log.h"

#include <cstdio>

namespace {
constexpr size_t kTailBytes = 64;

std::string ToDiskText(const std::string& text, size_t from) {
    std::string disk;
    disk.reserve(text.size() - from + 16);
    for (size_t i = from; i < text.size(); ++i) {
        if (text[i] == '\n') disk.push_back('\r');
        disk.push_back(text[i]);
    }
    return disk;
}

// True when the file on disk is still exactly what this process last wrote.
bool DiskIsOurs(const LogFile& file) {
    if (file.diskBytes < 0) return false;
    std::FILE* f = std::fopen(file.path.c_str(), "rb");
    if (!f) return false;
    bool ours = false;
    if (std::fseek(f, 0, SEEK_END) == 0 && std::ftell(f) == file.diskBytes) {
        long tail = static_cast<long>(file.diskTail.size());
        std::string read(file.diskTail.size(), '\0');
        ours = std::fseek(f, -tail, SEEK_END) == 0 &&
               std::fread(read.data(), 1, read.size(), f) == read.size() && read == file.diskTail;
    }
    std::fclose(f);
    return ours;
}

void RememberTail(LogFile& file, const std::string& written) {
    if (written.size() >= kTailBytes) {
        file.diskTail = written.substr(written.size() - kTailBytes);
    } else {
        file.diskTail += written;
        if (file.diskTail.size() > kTailBytes) file.diskTail.erase(0, file.diskTail.size() - kTailBytes);
    }
}

void Flush(LogFile& file) {
    bool append = file.writtenUpTo > 0 && DiskIsOurs(file);
    size_t from = append ? file.writtenUpTo : 0;
    std::string disk = ToDiskText(file.text, from);
    std::FILE* f = std::fopen(file.path.c_str(), append ? "ab" : "wb");
    if (!f) {
        file.diskBytes = -1;
        return;
    }
    bool ok = std::fwrite(disk.data(), 1, disk.size(), f) == disk.size();
    ok = (std::fclose(f) == 0) && ok;
    if (!ok) {
        file.diskBytes = -1;
        file.writtenUpTo = 0;
        return;
    }
    if (!append) {
        file.diskBytes = 0;
        file.diskTail.clear();
    }
    file.diskBytes += static_cast<long long>(disk.size());
    RememberTail(file, disk);
    file.writtenUpTo = file.text.size();
}
} // namespace

LogState& Log() {
    static LogState state;
    return state;
}

void ResetLog() { Log() = LogState{}; }

void WriteLog(const std::string& line) {
    AppendLog(line);
    Flush(Log().log);
}

void AppendLog(const std::string& line) {
    Log().log.text += line;
    Log().log.text += '\n';
}

void AppendLogList(const std::string& title, const std::vector<std::string>& lines) {
    AppendLog(title);
    for (const auto& line : lines) AppendLog(line);
}

void WriteDrfLine(const std::string& line) {
    LogFile& drf = Log().drf;
    drf.text += line;
    drf.text += '\n';
    Flush(drf);
}

void ClearDrfText() {
    LogFile& drf = Log().drf;
    drf.text.clear();
    drf.writtenUpTo = 0;
    drf.diskBytes = -1;
    drf.diskTail.clear();
}

void DebugTrace(const std::string&, const std::string&) {}
