// The run log and the DRF list: buffers in memory, brought to disk after every line. A line costs the same
// however long the run: new text is appended while the file is what this process last wrote, and the whole
// text is rewritten when it is not (another copy truncated it, or an earlier write failed).
#include "base/log.h"

#include "base/file_bytes.h"
#include "platform/files.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

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

// Appends the new text to the file this process last wrote. A write that fails part way (a full disk) is
// cut back off, so the file never ends in half a line; false when the file could not be kept as it was.
bool Append(LogFile& file, const std::string& disk) {
    std::FILE* f = std::fopen(file.path.c_str(), "ab");
    if (!f) return true; // nothing changed on disk: the text waits for the next line
    bool ok = PutFileBytes(f, file.path, disk.data(), disk.size());
    ok = (std::fclose(f) == 0) && ok;
    if (ok) {
        file.diskBytes += static_cast<long long>(disk.size());
        RememberTail(file, disk);
        file.writtenUpTo = file.text.size();
        return true;
    }
    std::error_code ec;
    std::filesystem::resize_file(file.path, static_cast<std::uintmax_t>(file.diskBytes), ec);
    return !ec;
}

// Writes the whole text to a new file and puts it in place of the old one, which stays whole when the new
// one cannot be written; where the old file cannot be replaced, it is rewritten where it stands.
void Rewrite(LogFile& file) {
    std::string disk = ToDiskText(file.text, 0);
    std::string fresh = file.path + ".new";
    bool written = false;
    if (std::FILE* f = std::fopen(fresh.c_str(), "wb")) {
        written = PutFileBytes(f, fresh, disk.data(), disk.size());
        written = (std::fclose(f) == 0) && written;
    }
    bool placed = written && ReplaceFileWith(fresh, file.path);
    if (!placed) std::remove(fresh.c_str());
    if (written && !placed) {
        if (std::FILE* f = std::fopen(file.path.c_str(), "wb")) {
            placed = PutFileBytes(f, file.path, disk.data(), disk.size());
            placed = (std::fclose(f) == 0) && placed;
        }
    }
    if (!placed) {
        file.diskBytes = -1;
        file.writtenUpTo = 0;
        return;
    }
    file.diskBytes = static_cast<long long>(disk.size());
    file.diskTail.clear();
    RememberTail(file, disk);
    file.writtenUpTo = file.text.size();
}

void Flush(LogFile& file) {
    if (file.writtenUpTo > 0 && DiskIsOurs(file)) {
        if (Append(file, ToDiskText(file.text, file.writtenUpTo))) return;
    }
    Rewrite(file);
}
} // namespace

LogState& Log() {
    static LogState state;
    return state;
}

void ResetLog() {
    Log() = LogState{};
}

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
