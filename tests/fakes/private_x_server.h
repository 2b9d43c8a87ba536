// A private X server (Xvfb) for a test or a benchmark, started and stopped through the shell so that the
// programs that use it build for both products: an empty display where Xvfb is not installed, there is
// no POSIX shell (the Windows product under wine), or it does not start. It is ready when Xvfb has
// written its display number (-displayfd), which it does once it takes connections.
#pragma once
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <thread>

struct PrivateXServer {
    std::string display; // ":N", empty when there is none
    std::string pidFile;
    explicit PrivateXServer(bool start = true) {
        if (!start) return;
        if (std::system("command -v Xvfb >/dev/null 2>&1") != 0) return;
        namespace fs = std::filesystem;
        // Named apart from every other process's: programs started side by side (ctest's jobs, two
        // benchmarks) would otherwise read each other's display number and stop each other's server.
        static int serial = 0;
        std::random_device random;
        const std::string stem = (fs::temp_directory_path() / ("talvero-xvfb-" + std::to_string(++serial) +
                                                               "-" + std::to_string(random())))
                                     .string();
        pidFile = stem + ".pid";
        const std::string numberFile = stem + ".display";
        std::string command = "Xvfb -displayfd 3 -screen 0 1920x1200x24 -nolisten tcp -noreset 3>'" + numberFile +
                              "' </dev/null >/dev/null 2>&1 & echo $! >'" + pidFile + "'";
        if (std::system(command.c_str()) != 0) return;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (std::chrono::steady_clock::now() < deadline) {
            std::string number;
            std::ifstream(numberFile) >> number;
            if (!number.empty() && number.back() >= '0' && number.back() <= '9') {
                display = ":" + number;
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        std::error_code ec;
        fs::remove(numberFile, ec);
        if (display.empty()) Stop();
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
