// The widget over the simulator's window at every start: the program started 30 times in a row against one
// simulator window that stays open (the stand-in's, on a private X server), as a pilot who restarts the
// first officer beside a running simulator does, adopts it each time and shows its widget.
#include "platform/window_system.h"
#include "tests/e2e/e2e_fixture.h"
#include "tests/fakes/private_x_server.h"

#include <deque>

TEST_F(EndToEndTest, TheSimulatorWindowIsAdoptedAtEveryStart) {
    PrivateXServer server;
    if (server.display.empty()) GTEST_SKIP() << "no private X server (Xvfb) can be started here";
    const char* previous = std::getenv("DISPLAY");
    static std::deque<std::string> environment; // putenv keeps the text itself
    environment.push_back("DISPLAY=" + server.display);
    putenv(environment.back().data());
    CloseWindowSystem();
    struct Restore {
        std::string display;
        ~Restore() {
            CloseWindowSystem();
            environment.push_back("DISPLAY=" + display);
            putenv(environment.back().data());
        }
    } restore{previous ? previous : ""};

    constexpr int kStarts = 30;
    auto standIn = StartStandIn({"clock ready"}, [](standin::StandIn& s) {
        FlyTheAirbus(s);
        s.options.windowTitle = "Microsoft Flight Simulator - 1.37.19.0";
        s.options.windowWidth = 1600;
        s.options.windowHeight = 1150;
        s.options.maxSeconds = 600;
    });
    ASSERT_TRUE(standIn->Started()) << standIn->failure;
    for (int start = 1; start <= kStarts; ++start) {
        // Each run ends itself a moment after its start, the simulator still there.
        RunOptions options;
        options.watchdogSeconds = 0.8;
        ProgramRun run = Run(options);
        EXPECT_TRUE(run.log.find("ParentWnd was UPDATED") != std::string::npos &&
                    run.log.find("Widget window was created") != std::string::npos)
            << "start " << start << ":\n"
            << run.log;
        EXPECT_EQ(ExitLines(run.log), std::vector<std::string>{"EXIT: end-to-end watchdog"}) << run.log;
    }
}
