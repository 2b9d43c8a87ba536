// Shared set-up of the aircraft package tests: a fresh frame and log, the message boxes recorded instead of
// shown, and the log's lines for checking.
#pragma once
#include "app/frame.h"
#include "base/log.h"
#include "platform/known_folders.h"
#include "platform/message_box.h"
#include "platform/simulator_prefixes.h"
#include "tests/fakes/test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

inline std::vector<std::pair<std::string, std::string>>& ShownBoxes() {
    static std::vector<std::pair<std::string, std::string>> boxes;
    return boxes;
}

inline void RecordBox(const std::string& text, const std::string& caption) {
    ShownBoxes().emplace_back(text, caption);
}

inline std::vector<std::string> LogLines() {
    std::vector<std::string> lines;
    const std::string& text = Log().log.text;
    size_t start = 0;
    for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
        lines.push_back(text.substr(start, end - start));
    return lines;
}

inline bool Logged(const std::string& line) {
    auto lines = LogLines();
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

struct SetupTest : ::testing::Test {
    TempFolder folder;
    void SetUp() override {
        ResetFrame();
        ResetLog();
        ResetKnownFolders();
        OverrideSimulatorPrefixes(std::vector<SimulatorPrefix>{}); // the machine's own Steam never counts
        Log().log.path = folder.path + "/log.txt";
        Log().drf.path = folder.path + "/drf.txt";
        ShownBoxes().clear();
        SetInfoBoxHook(RecordBox);
    }
    void TearDown() override {
        SetInfoBoxHook(nullptr);
        ResetKnownFolders();
        ResetSimulatorPrefixes();
        ResetLog();
        ResetFrame();
    }
};
