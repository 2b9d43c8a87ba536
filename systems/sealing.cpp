// Enciphering and deciphering whole systems folders with the loader's key chain.
#include "systems/sealing.h"

#include "base/helpers.h"
#include "systems/loader.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>

namespace {
bool WriteExactBytes(const std::string& path, const std::string& bytes) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return (std::fclose(f) == 0) && ok;
}

void Fail(SealReport& report, const std::string& line) {
    report.ok = false;
    report.lines.push_back("error: " + line);
}
} // namespace

SealReport SealSystemsFiles(const std::string& systemsFolder, const std::string& plainFolder,
                            const std::vector<std::string>& names) {
    SealReport report;
    const std::string indexPath = systemsFolder + "/_systems.txt";
    if (!FileExists(indexPath)) {
        Fail(report, "no index file " + indexPath);
        return report;
    }
    const std::vector<std::string> index = ReadLines(indexPath);
    for (const std::string& name : names)
        if (std::find(index.begin(), index.end(), name) == index.end())
            Fail(report, name + " is not listed in " + indexPath);
    std::string key = kInitialSystemsKey;
    for (const std::string& name : index) {
        const std::string plainPath = systemsFolder + "/" + name + ".txt";
        const std::string cipheredPath = systemsFolder + "/" + name + ".sys";
        if (std::find(names.begin(), names.end(), name) != names.end()) {
            const std::string source = plainFolder + "/" + name + ".txt";
            if (!FileExists(source)) {
                Fail(report, "no plain file " + source);
                continue;
            }
            if (FileExists(plainPath))
                Fail(report, plainPath + " would be read instead of " + name + ".sys: move it away");
            const std::string text = ReadFileToString(source);
            if (text.find('$') != std::string::npos)
                Fail(report, source + " holds a \"$\", which the loader reads as a line end");
            const std::string hex = EncipherSystemsText(text, key);
            if (!WriteExactBytes(cipheredPath, hex)) {
                Fail(report, "cannot write " + cipheredPath);
                continue;
            }
            report.lines.push_back("wrote " + cipheredPath);
            key = NextSystemsKey(hex);
        } else if (!FileExists(plainPath) && FileExists(cipheredPath)) {
            key = NextSystemsKey(ReadFileToString(cipheredPath));
        }
    }
    return report;
}

SealReport OpenSystemsFiles(const std::string& systemsFolder, const std::string& plainFolder) {
    SealReport report;
    const std::string indexPath = systemsFolder + "/_systems.txt";
    if (!FileExists(indexPath)) {
        Fail(report, "no index file " + indexPath);
        return report;
    }
    std::error_code ignored;
    std::filesystem::create_directories(plainFolder, ignored);
    std::string key = kInitialSystemsKey;
    for (const std::string& name : ReadLines(indexPath)) {
        const std::string cipheredPath = systemsFolder + "/" + name + ".sys";
        if (FileExists(systemsFolder + "/" + name + ".txt") || !FileExists(cipheredPath)) continue;
        const std::string hex = ReadFileToString(cipheredPath);
        bool ok = false;
        const std::string text = DecipherSystemsText(hex, key, &ok);
        key = NextSystemsKey(hex);
        if (!ok) {
            Fail(report, cipheredPath + " is not enciphered systems text");
            continue;
        }
        const std::string target = plainFolder + "/" + name + ".txt";
        if (!WriteExactBytes(target, text)) {
            Fail(report, "cannot write " + target);
            continue;
        }
        report.lines.push_back("wrote " + target);
    }
    return report;
}
