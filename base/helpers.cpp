// File and text helpers shared by every subsystem.
#include "base/helpers.h"

#include "base/log.h"
#include "platform/codepage.h"
#include "platform/files.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <limits>

namespace {
std::string ToTextMode(const std::string& text) {
    std::string out;
    out.reserve(text.size() + text.size() / 32 + 2);
    for (char c : text) {
        if (c == '\n') out.push_back('\r');
        out.push_back(c);
    }
    return out;
}

std::string FromTextMode(const std::string& bytes) {
    std::string out;
    out.reserve(bytes.size());
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') continue;
        out.push_back(bytes[i]);
    }
    return out;
}

std::vector<std::string> SortedEntries(const std::string& path) {
    std::vector<std::string> names;
    std::error_code ec;
    std::filesystem::directory_iterator it(path, ec);
    if (ec) return names;
    for (; it != std::filesystem::directory_iterator(); it.increment(ec)) {
        if (ec) break;
        names.push_back(it->path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}
} // namespace

bool WriteBytes(const std::string& path, const std::string& bytes) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    bool ok = PutFileBytes(f, path, bytes.data(), bytes.size());
    return (std::fclose(f) == 0) && ok;
}

std::string ReadFileBytes(const std::string& path, bool* ok) {
    return ReadWholeFile(path, ok);
}

std::vector<std::string> ReadLines(const std::string& path) {
    std::vector<std::string> lines;
    bool ok = false;
    std::string bytes = ReadFileBytes(path, &ok);
    if (!ok) return lines;
    size_t start = 0;
    while (start < bytes.size()) {
        size_t end = bytes.find('\n', start);
        if (end == std::string::npos) end = bytes.size();
        std::string line = StripLineBreaks(bytes.substr(start, end - start));
        if (!line.empty()) lines.push_back(std::move(line));
        start = end + 1;
    }
    return lines;
}

std::string ReadFileToString(const std::string& path) {
    bool ok = false;
    std::string bytes = ReadFileBytes(path, &ok);
    if (!ok) {
        AppendLog("ReadFileToString() can not open file: " + path);
        return std::string();
    }
    return FromTextMode(bytes);
}

void WriteLines(const std::string& path, const std::vector<std::string>& lines) {
    std::string text;
    for (const auto& line : lines) {
        text += line;
        text += '\n';
    }
    WriteBytes(path, ToTextMode(text));
}

bool WriteString(const std::string& path, const std::string& text) {
    return WriteBytes(path, ToTextMode(text));
}

bool WriteStringReplacing(const std::string& path, const std::string& text, bool* written) {
    return WriteBytesReplacing(path, ToTextMode(text), written);
}

bool WriteBytesReplacing(const std::string& path, const std::string& bytes, bool* written) {
    std::string fresh = path + ".new";
    if (written) *written = false;
    if (!WriteBytes(fresh, bytes)) {
        std::remove(fresh.c_str());
        return false;
    }
    if (written) *written = true;
    if (ReplaceFileWith(fresh, path)) return true;
    std::remove(fresh.c_str());
    return false;
}

bool FileExists(const std::string& path) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return false;
    std::fclose(f);
    return true;
}

bool CopyFileLogged(const std::string& source, const std::string& destination) {
    WriteLog("copy fr " + source);
    WriteLog("copy to " + destination);
    int error = 0;
    if (CopyFileReplacing(source, destination, error)) return true;
    WriteLog("Copy file error=" + ToString(error));
    return false;
}

std::string CurrentDirectory() {
    return CurrentDirectoryPath();
}

// MD5 as RFC 1321 defines it, fed in pieces so that a large model file is never held whole.
namespace {
struct Md5State {
    uint32_t h[4] = {0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476};
    unsigned char block[64];
    size_t blockUsed = 0;
    uint64_t totalBytes = 0;
};

void Md5Block(Md5State& state, const unsigned char* p) {
    static const uint32_t k[64] = {
        0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613, 0xfd469501,
        0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193, 0xa679438e, 0x49b40821,
        0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d, 0x02441453, 0xd8a1e681, 0xe7d3fbc8,
        0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed, 0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a,
        0xfffa3942, 0x8771f681, 0x6d9d6122, 0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70,
        0x289b7ec6, 0xeaa127fa, 0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665,
        0xf4292244, 0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
        0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb, 0xeb86d391};
    static const int r[64] = {7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22,
                              5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20,
                              4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23,
                              6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21};
    uint32_t w[16];
    for (int i = 0; i < 16; ++i)
        w[i] = uint32_t(p[4 * i]) | uint32_t(p[4 * i + 1]) << 8 | uint32_t(p[4 * i + 2]) << 16 |
               uint32_t(p[4 * i + 3]) << 24;
    uint32_t a = state.h[0], b = state.h[1], c = state.h[2], d = state.h[3];
    for (int i = 0; i < 64; ++i) {
        uint32_t f;
        int g;
        if (i < 16) {
            f = (b & c) | (~b & d);
            g = i;
        } else if (i < 32) {
            f = (d & b) | (~d & c);
            g = (5 * i + 1) % 16;
        } else if (i < 48) {
            f = b ^ c ^ d;
            g = (3 * i + 5) % 16;
        } else {
            f = c ^ (b | ~d);
            g = (7 * i) % 16;
        }
        uint32_t rotated = a + f + k[i] + w[g];
        a = d;
        d = c;
        c = b;
        b = b + ((rotated << r[i]) | (rotated >> (32 - r[i])));
    }
    state.h[0] += a;
    state.h[1] += b;
    state.h[2] += c;
    state.h[3] += d;
}

void Md5Update(Md5State& state, const char* data, size_t size) {
    state.totalBytes += size;
    const auto* bytes = reinterpret_cast<const unsigned char*>(data);
    while (size > 0) {
        size_t take = std::min(size, 64 - state.blockUsed);
        std::memcpy(state.block + state.blockUsed, bytes, take);
        state.blockUsed += take;
        bytes += take;
        size -= take;
        if (state.blockUsed == 64) {
            Md5Block(state, state.block);
            state.blockUsed = 0;
        }
    }
}

std::string Md5Final(Md5State& state) {
    uint64_t bitLength = state.totalBytes * 8;
    unsigned char padding[72] = {0x80};
    size_t padBytes = (state.blockUsed < 56 ? 56 : 120) - state.blockUsed;
    for (int i = 0; i < 8; ++i)
        padding[padBytes + i] = static_cast<unsigned char>((bitLength >> (8 * i)) & 0xff);
    uint64_t total = state.totalBytes;
    Md5Update(state, reinterpret_cast<const char*>(padding), padBytes + 8);
    state.totalBytes = total;
    static const char* hex = "0123456789abcdef";
    std::string digest;
    for (uint32_t word : state.h) {
        for (int i = 0; i < 4; ++i) {
            unsigned byte = (word >> (8 * i)) & 0xff;
            digest.push_back(hex[byte >> 4]);
            digest.push_back(hex[byte & 15]);
        }
    }
    return digest;
}
} // namespace

std::string Md5OfBytes(const std::string& bytes) {
    Md5State state;
    Md5Update(state, bytes.data(), bytes.size());
    return Md5Final(state);
}

std::string Md5OfFile(const std::string& path) {
    Md5State state;
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (f) {
        char buffer[65536];
        size_t got;
        while ((got = std::fread(buffer, 1, sizeof buffer, f)) > 0) Md5Update(state, buffer, got);
        std::fclose(f);
    }
    return Md5Final(state);
}

std::vector<std::string> ListFolders(const std::string& path) {
    std::vector<std::string> folders;
    for (const auto& name : SortedEntries(path))
        if (name.find('.') == std::string::npos) folders.push_back(path + "/" + name);
    return folders;
}

std::vector<std::string> ListEntriesContaining(const std::string& path, const std::string& text) {
    std::vector<std::string> names;
    for (const auto& name : SortedEntries(path))
        if (name.find(text) != std::string::npos) names.push_back(StripLineBreaks(name));
    return names;
}

std::string StripLineBreaks(const std::string& s) {
    std::string out;
    out.reserve(s.size());
    for (char c : s)
        if (c != '\r' && c != '\n') out.push_back(c);
    return out;
}

std::string ReplaceFirst(const std::string& s, const std::string& from, const std::string& to) {
    if (from.empty()) return s;
    size_t at = s.find(from);
    if (at == std::string::npos) return s;
    std::string out = s;
    out.replace(at, from.size(), to);
    return out;
}

std::string ReplaceAll(const std::string& s, const std::string& from, const std::string& to) {
    if (from.empty()) return s;
    std::string out;
    size_t start = 0;
    for (size_t at; (at = s.find(from, start)) != std::string::npos; start = at + from.size()) {
        out.append(s, start, at - start);
        out += to;
    }
    out.append(s, start, std::string::npos);
    return out;
}

std::string CollapseSpaces(const std::string& s) {
    std::string out;
    out.reserve(s.size());
    for (char c : s)
        if (!(c == ' ' && !out.empty() && out.back() == ' ')) out.push_back(c);
    return out;
}

bool IsNumber(const std::string& s) {
    if (s.empty()) return false;
    return std::all_of(s.begin(), s.end(),
                       [](char c) { return std::strchr("-.0123456789", c) && c != '\0'; });
}

std::string ToString(int value) {
    return std::to_string(value);
}

std::vector<std::string> SplitAt(const std::string& s, char separator) {
    std::vector<std::string> pieces;
    std::string text = StripLineBreaks(s);
    size_t start = 0;
    for (;;) {
        size_t at = text.find(separator, start);
        if (at == std::string::npos) {
            pieces.push_back(text.substr(start));
            return pieces;
        }
        pieces.push_back(text.substr(start, at - start));
        start = at + 1;
    }
}

std::string Narrow(const std::u16string& wide) {
    return NarrowFromUtf16(wide);
}

std::u16string Widen(const std::string& s) {
    std::u16string wide;
    wide.reserve(s.size());
    for (char c : s) wide.push_back(static_cast<char16_t>(static_cast<unsigned char>(c)));
    return wide;
}

bool ReadLeadingInt(const std::string& s, int& value) {
    size_t i = 0;
    while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
    bool negative = false;
    if (i < s.size() && (s[i] == '-' || s[i] == '+')) negative = s[i++] == '-';
    if (i >= s.size() || s[i] < '0' || s[i] > '9') return false;
    long long result = 0;
    for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) {
        result = result * 10 + (s[i] - '0');
        if (result > (1LL << 32)) result = 1LL << 32;
    }
    if (negative) result = -result;
    result = std::clamp<long long>(result, std::numeric_limits<int>::min(), std::numeric_limits<int>::max());
    value = static_cast<int>(result);
    return true;
}
