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

// The log's lines that start with `prefix`, in order.
inline std::vector<std::string> LinesStartingWith(const std::string& log, const std::string& prefix) {
    std::vector<std::string> out;
    for (const std::string& line : SplitLines(log))
        if (line.starts_with(prefix)) out.push_back(line);
    return out;
}
inline std::vector<std::string> ExitLines(const std::string& log) {
    return LinesStartingWith(log, "EXIT: ");
}

struct EndToEndTest : ::testing::Test {
    TempFolder temp;
    Installation install = LayOutInstallation(temp.path);
    std::unique_ptr<StandInThread> standIn; // the stand-in of the latest Fly()

    // The stand-in on this installation; the test fails at once when it cannot listen.
    std::unique_ptr<StandInThread>
    StartStandIn(const std::vector<std::string>& scenario,
                 const std::function<void(standin::StandIn&)>& configure = {}) {
        auto started = std::make_unique<StandInThread>(install, scenario, configure);
        EXPECT_TRUE(started->Started()) << started->failure;
        return started;
    }
    ProgramRun Run(const RunOptions& options = RunOptions{}) { return RunProgram(install, options); }
    // One run against a stand-in of its own playing `scenario`, stopped afterwards (its transcript kept);
    // every such run is expected to end with exit code 0.
    ProgramRun Fly(const std::vector<std::string>& scenario,
                   const std::function<void(standin::StandIn&)>& configure = {},
                   const RunOptions& options = RunOptions{}) {
        standIn.reset();
        standIn = StartStandIn(scenario, configure);
        ProgramRun run = Run(options);
        standIn->Stop();
        EXPECT_EQ(run.exitCode, 0);
        return run;
    }
    std::string ProgramFile(const std::string& relative) {
        return ReadBytes(install.program + "/" + relative);
    }
};
