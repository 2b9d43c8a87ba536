// A private X server for a benchmark run, started and stopped through the shell (so that the benchmark
// builds for both products): an empty display where Xvfb is not installed, there is no POSIX shell, or it
// does not start.
#pragma once
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>

struct PrivateXServer {
    std::string display;
    std::string pidFile;
    explicit PrivateXServer(bool start = true) {
        if (!start) return;
        if (std::system("command -v Xvfb >/dev/null 2>&1") != 0) return;
        int number = 190;
        while (std::filesystem::exists("/tmp/.X11-unix/X" + std::to_string(number)) ||
               std::filesystem::exists("/tmp/.X" + std::to_string(number) + "-lock"))
            ++number;
        std::string name = ":" + std::to_string(number);
        pidFile =
            (std::filesystem::temp_directory_path() / ("talvero-xvfb-" + std::to_string(number) + ".pid"))
                .string();
        std::string command = "Xvfb " + name +
                              " -screen 0 1920x1200x24 -nolisten tcp -noreset >/dev/null 2>&1 & " +
                              "echo $! >'" + pidFile + "'";
        if (std::system(command.c_str()) != 0) return;
        for (int i = 0; i < 100; ++i) {
            if (std::filesystem::exists("/tmp/.X11-unix/X" + std::to_string(number))) {
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
                display = name;
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    }
    ~PrivateXServer() { Stop(); }
    PrivateXServer(const PrivateXServer&) = delete;
    PrivateXServer& operator=(const PrivateXServer&) = delete;
    void Stop() {
        if (pidFile.empty()) return;
        std::string command = "kill $(cat '" + pidFile + "') 2>/dev/null; rm -f '" + pidFile + "'";
        if (std::system(command.c_str()) != 0) std::fprintf(stderr, "Xvfb was not stopped\n");
        pidFile.clear();
    }
};
