// The widget tests' common ground: a fresh program state on the fake desktop in a temporary
// installation, with the lines spoken in either voice and the log lines at hand.
#pragma once
#include "app/frame.h"
#include "base/helpers.h"
#include "base/log.h"
#include "base/settings.h"
#include "flow/executer.h"
#include "flow/monitor.h"
#include "simlink/module_protocol.h"
#include "speech/recognition_state.h"
#include "speech/speech_output.h"
#include "tests/fakes/fake_desktop.h"
#include "tests/fakes/test_support.h"
#include "widget/parent_window.h"
#include "widget/widget_lists.h"
#include "widget/widget_window.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

struct SpokenLines {
    std::vector<std::string> captain;
    std::vector<std::string> officer;
};
inline SpokenLines& Spoken() {
    static SpokenLines lines;
    return lines;
}

class WidgetTest : public ::testing::Test {
protected:
    InstallationFolder install;

    void SetUp() override {
        ResetWidgetAndItsSources();
        ResetModuleProtocol();
        ResetSpeechOutput();
        ResetSettings();
        Spoken() = SpokenLines();
        SpeechOutput().engine.speak = [](const std::string& text) { Spoken().officer.push_back(text); };
        SpeechOutput().engine.speakCaptain = [](const std::string& text) {
            Spoken().captain.push_back(text);
        };
        UseFakeDesktop();
        BuildWidgetTitles();
    }
    void TearDown() override { WidgetPlatform() = PlatformWidgetOps(); }

    static std::vector<std::string> LogLines() {
        std::vector<std::string> lines;
        std::string line;
        for (char c : Log().log.text) {
            if (c == '\n') {
                lines.push_back(line);
                line.clear();
            } else if (c != '\r') {
                line.push_back(c);
            }
        }
        return lines;
    }
    static int LogCount(const std::string& line) {
        std::vector<std::string> lines = LogLines();
        return static_cast<int>(std::count(lines.begin(), lines.end(), line));
    }
    static WidgetPanel& Panel(int position) {
        return WidgetLists().SelectWidgetVector[static_cast<size_t>(position)];
    }
    static std::vector<std::string> Texts(int position) {
        std::vector<std::string> texts;
        for (const WidgetLine& line : Panel(position).Lines) texts.push_back(line.text);
        return texts;
    }
};
