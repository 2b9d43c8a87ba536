// Configuration files and the registry stand-in on Linux: a small reader of Windows-style profile files,
// the XDG folders, and "talvero/registry.ini" in the XDG config folder for the registry's values.
#include "platform/known_folders.h"
#include "platform/profile.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <strings.h>
#include <vector>

namespace {
std::string Trim(const std::string& s) {
    size_t begin = s.find_first_not_of(" \t\r\n");
    if (begin == std::string::npos) return std::string();
    size_t end = s.find_last_not_of(" \t\r\n");
    return s.substr(begin, end - begin + 1);
}

bool SameName(const std::string& a, const std::string& b) { return strcasecmp(a.c_str(), b.c_str()) == 0; }

std::vector<std::string> FileLines(const std::string& path, bool* found = nullptr) {
    std::vector<std::string> lines;
    std::ifstream in(path, std::ios::binary);
    if (found) *found = static_cast<bool>(in);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

// "[name]" -> name; false for any other line.
bool SectionName(const std::string& line, std::string& name) {
    std::string t = Trim(line);
    if (t.size() < 2 || t.front() != '[') return false;
    size_t close = t.find(']');
    if (close == std::string::npos) return false;
    name = Trim(t.substr(1, close - 1));
    return true;
}

// Index of the first line of the section's body, or -1.
long FindSection(const std::vector<std::string>& lines, const std::string& section) {
    std::string name;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (SectionName(lines[i], name) && SameName(name, section)) return static_cast<long>(i) + 1;
    }
    return -1;
}

bool KeyLine(const std::string& line, std::string& key, std::string& value) {
    std::string t = Trim(line);
    if (t.empty() || t[0] == ';') return false;
    size_t eq = t.find('=');
    if (eq == std::string::npos) return false;
    key = Trim(t.substr(0, eq));
    value = Trim(t.substr(eq + 1));
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front()) {
        value = value.substr(1, value.size() - 2);
    }
    return true;
}

std::string RegistryFile() {
    auto config = KnownFolderPath(KnownFolder::RoamingAppData);
    if (!config) return std::string();
    return *config + "/talvero/registry.ini";
}

std::optional<std::string> XdgFolder(const char* variable, const char* underHome) {
    const char* value = std::getenv(variable);
    if (value && *value == '/') return std::string(value);
    const char* home = std::getenv("HOME");
    if (!home || !*home) return std::nullopt;
    return std::string(home) + underHome;
}
} // namespace

std::string ReadProfileString(const std::string& path, const std::string& section, const std::string& key,
                              size_t bufferSize) {
    std::vector<std::string> lines = FileLines(path);
    long start = FindSection(lines, section);
    if (start < 0) return std::string();
    std::string name, k, v;
    for (size_t i = static_cast<size_t>(start); i < lines.size(); ++i) {
        if (SectionName(lines[i], name)) break;
        if (KeyLine(lines[i], k, v) && SameName(k, key)) {
            if (bufferSize > 0 && v.size() > bufferSize - 1) v.resize(bufferSize - 1);
            return v;
        }
    }
    return std::string();
}

bool ProfileSectionHasLines(const std::string& path, const std::string& section) {
    std::vector<std::string> lines = FileLines(path);
    long start = FindSection(lines, section);
    if (start < 0) return false;
    std::string name;
    for (size_t i = static_cast<size_t>(start); i < lines.size(); ++i) {
        if (SectionName(lines[i], name)) break;
        std::string t = Trim(lines[i]);
        if (!t.empty() && t[0] != ';') return true;
    }
    return false;
}

std::optional<std::string> SystemConfigFolderPath(ConfigFolder which) {
    if (which == ConfigFolder::UserDocuments) return XdgFolder("XDG_DOCUMENTS_DIR", "/Documents");
    const char* dirs = std::getenv("XDG_CONFIG_DIRS");
    std::string first = dirs ? std::string(dirs).substr(0, std::string(dirs).find(':')) : std::string();
    if (first.empty() || first[0] != '/') first = "/etc/xdg";
    return first;
}

std::optional<std::string> ReadUserRegistryString(const std::string& key, const std::string& name, size_t maxBytes) {
    std::string file = RegistryFile();
    if (file.empty()) return std::nullopt;
    std::vector<std::string> lines = FileLines(file);
    long start = FindSection(lines, key);
    if (start < 0) return std::nullopt;
    std::string section, k, v;
    for (size_t i = static_cast<size_t>(start); i < lines.size(); ++i) {
        if (SectionName(lines[i], section)) break;
        if (KeyLine(lines[i], k, v) && SameName(k, name)) {
            if (v.size() + 1 > maxBytes) return std::nullopt;
            return v;
        }
    }
    return std::nullopt;
}

bool WriteUserRegistryString(const std::string& key, const std::string& name, const std::string& value) {
    std::string file = RegistryFile();
    if (file.empty()) return false;
    std::vector<std::string> lines = FileLines(file);
    long start = FindSection(lines, key);
    std::string entry = name + "=" + value;
    if (start < 0) {
        lines.push_back("[" + key + "]");
        lines.push_back(entry);
    } else {
        size_t end = static_cast<size_t>(start);
        std::string section, k, v;
        bool replaced = false;
        for (; end < lines.size(); ++end) {
            if (SectionName(lines[end], section)) break;
            if (!replaced && KeyLine(lines[end], k, v) && SameName(k, name)) {
                lines[end] = entry;
                replaced = true;
            }
        }
        if (!replaced) lines.insert(lines.begin() + static_cast<long>(end), entry);
    }
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(file).parent_path(), ec);
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    for (const std::string& line : lines) out << line << "\n";
    return static_cast<bool>(out);
}

bool DeleteUserRegistryKey(const std::string& key) {
    std::string file = RegistryFile();
    if (file.empty()) return false;
    bool found = false;
    std::vector<std::string> lines = FileLines(file, &found);
    if (!found) return true;
    std::vector<std::string> kept;
    bool skipping = false;
    std::string section;
    for (const std::string& line : lines) {
        if (SectionName(line, section)) skipping = SameName(section, key);
        if (!skipping) kept.push_back(line);
    }
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    for (const std::string& line : kept) out << line << "\n";
    return static_cast<bool>(out);
}
