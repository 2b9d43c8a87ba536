// Shared set-up of the end-to-end tests: a fresh demo installation per test, the stand-in started on it,
// and one run of the whole program.
#pragma once
#include "tests/e2e/program_run.h"
#include "tests/fakes/test_support.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

// The stand-in's module names the second aircraft, the Airbus, whose profile loads fastest.
inline void FlyTheAirbus(standin::StandIn& s) {
    s.options.aircraft = "./data/FN320";
}

// The log's "EXIT: " lines, in order.
inline std::vector<std::string> ExitLines(const std::string& log) {
    std::vector<std::string> out;
    for (const std::string& line : SplitLines(log))
        if (line.starts_with("EXIT: ")) out.push_back(line);
    return out;
}

struct EndToEndTest : ::testing::Test {
    TempFolder temp;
    Installation install = LayOutInstallation(temp.path);

    // The stand-in on this installation; the test fails at once when it cannot listen.
    std::unique_ptr<StandInThread>
    StartStandIn(const std::vector<std::string>& scenario,
                 const std::function<void(standin::StandIn&)>& configure = {}) {
        auto standIn = std::make_unique<StandInThread>(install, scenario, configure);
        EXPECT_TRUE(standIn->Started()) << standIn->failure;
        return standIn;
    }
    ProgramRun Run(const RunOptions& options = RunOptions{}) { return RunProgram(install, options); }
    std::string ProgramFile(const std::string& relative) {
        return ReadBytes(install.program + "/" + relative);
    }
};
