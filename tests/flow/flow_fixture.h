// Shared set-up of the flow engine tests: the run log in a temporary folder, every subsystem state fresh,
// the scenario runner installed, and small helpers to write a profile and to read the timeline.
#pragma once
#include "app/frame.h"
#include "base/log.h"
#include "base/settings.h"
#include "flow/executer.h"
#include "flow/monitor.h"
#include "flow/phrase_text.h"
#include "poses/pose_catalogue.h"
#include "scenario/scenario.h"
#include "simlink/module_protocol.h"
#include "speech/recognition_state.h"
#include "speech/speech_output.h"
#include "systems/drf_arrays.h"
#include "systems/logic.h"
#include "systems/model.h"
#include "systems/phrase_context.h"
#include "tests/fakes/test_support.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

struct FlowTest : ::testing::Test {
    TempFolder folder;
    void SetUp() override {
        ResetLog();
        Log().log.path = folder.Make("data/log.txt");
        Log().drf.path = folder.Make("data/drf.txt");
        ResetFrame();
        ResetSettings();
        ResetSystems();
        ResetPoseCatalogue();
        ResetPhraseContext();
        Scenario() = ScenarioState{};
        StartScenario();
    }
    void TearDown() override {
        EndScenario();
        ResetSystems();
        ResetPoseCatalogue();
        ResetFrame();
        ResetLog();
    }

    // Writes an aircraft folder under the temporary folder: the systems index naming one file, the file,
    // and one group folder of poses. Returns the aircraft folder's path.
    std::string WriteProfile(const std::string& systemsText, const std::vector<std::string>& poses = {}) {
        std::string acf = folder.path + "/acf";
        folder.Write("acf/systems/_systems.txt", "main\n");
        folder.Write("acf/systems/main.txt", systemsText);
        for (const std::string& pose : poses) folder.Write("acf/poses/crew/" + pose + ".txt", "pose\n");
        return acf;
    }
    // Writes and loads the profile, then starts a fresh scenario on it.
    void LoadProfile(const std::string& systemsText, const std::vector<std::string>& poses = {},
                     const ScenarioSettings& settings = ScenarioSettings{}) {
        ASSERT_TRUE(LoadScenarioProfile(WriteProfile(systemsText, poses)));
        ASSERT_TRUE(Systems().problems.empty()) << Systems().problems.front();
        StartScenario(settings);
    }

    static void Queue(int32_t type, const std::string& text, double value = 0) {
        ExecuterData().executeFlow.push_back(type, text, value);
    }
    // The module messages sent so far, as "type:text".
    static std::vector<std::string> Sent() {
        std::vector<std::string> out;
        for (const TimelineEntry& e : TimelineOf(TimelineKind::MessageSent))
            out.push_back(std::to_string(e.type) + ":" + e.text);
        return out;
    }
    // The module messages of one type sent so far.
    static std::vector<TimelineEntry> SentOfType(uint32_t type) {
        std::vector<TimelineEntry> out;
        for (const TimelineEntry& e : TimelineOf(TimelineKind::MessageSent))
            if (e.type == type) out.push_back(e);
        return out;
    }
    // The pass in which each spoken line started.
    static std::vector<long> SpokenPasses() {
        std::vector<long> out;
        for (const TimelineEntry& e : TimelineOf(TimelineKind::Spoken)) out.push_back(e.pass);
        return out;
    }
    static bool LogHas(const std::string& line) {
        return Log().log.text.find(line + "\n") != std::string::npos;
    }
    static OutParameter& Param(const std::string& fullName) {
        OutParameter* p = ParameterOf(ResolveParamRef(fullName));
        EXPECT_NE(p, nullptr) << fullName;
        static OutParameter none;
        return p ? *p : none;
    }
};
