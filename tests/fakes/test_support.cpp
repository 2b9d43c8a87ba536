// Test support shared by every test program.
#include "tests/fakes/test_support.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

TempFolder::TempFolder() {
    static std::atomic<int> counter{0};
    auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    fs::path base = fs::temp_directory_path() /
                    ("talvero-test-" + std::to_string(stamp) + "-" + std::to_string(counter++));
    fs::create_directories(base);
    path = base.generic_string();
}

TempFolder::~TempFolder() {
    std::error_code ec;
    fs::remove_all(path, ec);
}

std::string TempFolder::Make(const std::string& relative) const {
    fs::path full = fs::path(path) / relative;
    std::error_code ec;
    fs::create_directories(full.parent_path(), ec);
    return full.generic_string();
}

std::string TempFolder::Write(const std::string& relative, const std::string& bytes) const {
    std::string full = Make(relative);
    std::ofstream out(full, std::ios::binary);
    out << bytes;
    return full;
}

WorkingFolder::WorkingFolder(const std::string& path) {
    previous = fs::current_path().generic_string();
    fs::current_path(path);
}

WorkingFolder::~WorkingFolder() {
    std::error_code ec;
    fs::current_path(previous, ec);
}

std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream buffer;
    buffer << in.rdbuf();
    return buffer.str();
}

std::string InstallationFolder::WithDataFolder(const TempFolder& folder) {
    folder.Make("data/PM738/x");
    return folder.path;
}

std::string InstallationFolder::Bytes(const std::string& relative) const { return ReadBytes(path() + "/" + relative); }
