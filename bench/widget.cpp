// Benchmark of the widget's paint: the whole rebuild of the panels and their redraw into the back buffer,
// handed to the window, as every main-loop pass does; on a private Xvfb when there is one (the window
// and its presentation included), else the off-screen drawing alone.
#include "bench/bench_util.h"
#include "tests/fakes/private_x_server.h"

#include "app/frame.h"
#include "base/log.h"
#include "flow/executer.h"
#include "flow/monitor.h"
#include "platform/widget_window.h"
#include "platform/window_system.h"
#include "speech/recognition_state.h"
#include "widget/parent_window.h"
#include "widget/widget_lists.h"
#include "widget/widget_platform.h"
#include "widget/widget_window.h"

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>

namespace {

// A busy moment: a procedure list open with one running, three answers with one selected, a heard
// phrase, three lines of the first officer.
void FillPanels() {
    MonitorData().menuGroups = {
        {"PROCEDURES",
         {"Before Start", "Engine Start", "After Start", "Before Taxi", "Before Takeoff", "Climb"}},
        {"CHECKLISTS", {"Before Start Checklist", "Before Taxi Checklist"}},
        {"COMMANDS", {"flaps one", "flaps five", "gear up"}}};
    MonitorData().currentRunName = "Engine Start";
    MonitorData().expectedAnswers = {"set", "checked", "any"};
    WidgetLists().selectedAnswer = "checked";
    Recognition().displayPhrase = "flaps five";
    ExecuterData().recentPhrases = {"Flaps five", "Speed checked", "Positive rate"};
    WidgetLists().SelectWidgetVector[TitleProcedures].expanded = 1;
}

} // namespace

int main() {
    std::string folder =
        (std::filesystem::temp_directory_path() /
         ("bench-widget-" + std::to_string(std::chrono::steady_clock::now().time_since_epoch().count())))
            .string();
    std::filesystem::create_directories(folder + "/data");
    std::filesystem::current_path(folder);

    PrivateXServer server;
    bool onScreen = !server.display.empty();
    static std::string displayVariable;
    if (onScreen) {
        displayVariable = "DISPLAY=" + server.display;
        putenv(displayVariable.data());
    }

    BuildWidgetTitles();
    FillPanels();
    PlatformWindow sim = 0;
    if (onScreen) {
        sim = OpenTestWindow("Microsoft Flight Simulator - bench", 1600, 1150);
        MoveCursorTo({200, 200});
        StartWidgetSubsystem();
        RegisterWidgetClass();
        for (int i = 0; i < 200 && (WidgetWindow().WidgetWnd.handle == 0 || !WidgetBufferExists()); ++i) {
            TrackAndPlaceWidget();
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        onScreen = WidgetWindow().WidgetWnd.handle != 0;
    }
    if (!onScreen) {
        StartWidgetGraphics();
        ParentWindow().ParentWnd.W = 1600;
        ParentWindow().ParentWnd.H = 1150;
        WidgetWindow().WidgetWnd.W = 400;
    }
    std::printf("widget paint measured %s\n",
                onScreen ? "on a private Xvfb: rebuild, redraw and presentation to the window"
                         : "off-screen only (no Xvfb): rebuild and redraw into the back buffer");

    using Clock = std::chrono::steady_clock;
    // A full paint (rebuild, redraw, presentation), as every pass did before the widget learnt to draw only
    // a changed picture; then a pass's paint when nothing changed, which only lays the widget out.
    auto measure = [](bool redraw) {
        std::vector<double> paints;
        for (int i = 0; i < 3100; ++i) {
            if (redraw) WidgetWindow().pictureLost = true;
            auto start = Clock::now();
            PaintWidget();
            if (i >= 100)
                paints.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
        }
        return paints;
    };
    std::vector<double> paints = measure(true);
    PrintFigure("widget", "paint median", Percentile(paints, 50), "ms");
    PrintFigure("widget", "paint p99", Percentile(paints, 99), "ms");
    std::vector<double> unchanged = measure(false);
    PrintFigure("widget", "paint of an unchanged picture median", Percentile(unchanged, 50), "ms");
    PrintFigure("widget", "paint of an unchanged picture p99", Percentile(unchanged, 99), "ms");

    if (onScreen) {
        // The widget's whole share of a pass: tracking, ensure, one event (the paint) and placement, with
        // nothing changing on the widget.
        std::vector<double> passes;
        for (int i = 0; i < 2000; ++i) {
            auto start = Clock::now();
            TrackAndPlaceWidget();
            passes.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
        }
        PrintFigure("widget", "pass median", Percentile(passes, 50), "ms");
        PrintFigure("widget", "pass p99", Percentile(passes, 99), "ms");
        Frame().quitRequested = true;
        DestroyWidget();
        CloseTestWindow(sim);
    }
    ShutdownWidgetSubsystem();
    StopWidgetGraphics();
    server.Stop();
    std::filesystem::current_path(std::filesystem::temp_directory_path());
    std::filesystem::remove_all(folder);
    return 0;
}
