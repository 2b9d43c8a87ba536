// Test support shared by every test program: temporary folders, a working-folder switch, small files.
#pragma once
#include <string>

// A fresh empty folder under the system's temporary folder, removed with everything in it at the end.
struct TempFolder {
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    std::string path;
    // path + "/" + relative, with the parent folders created.
    std::string Make(const std::string& relative) const;
    // Writes the bytes as they stand (no line-end conversion) at path + "/" + relative; returns the path.
    std::string Write(const std::string& relative, const std::string& bytes) const;
};

// Makes `path` the working folder until the end of the scope.
struct WorkingFolder {
    explicit WorkingFolder(const std::string& path);
    ~WorkingFolder();
    WorkingFolder(const WorkingFolder&) = delete;
    WorkingFolder& operator=(const WorkingFolder&) = delete;
    std::string previous;
};

// A temporary installation folder with its data/ folder, made the working folder for the scope, so
// that files the program writes relative to it ("./data/...") land inside the test's own folder.
struct InstallationFolder {
    TempFolder folder;
    WorkingFolder working{WithDataFolder(folder)};
    const std::string& path() const { return folder.path; }
    std::string Bytes(const std::string& relative) const;

private:
    static std::string WithDataFolder(const TempFolder& folder);
};

std::string ReadBytes(const std::string& path);
