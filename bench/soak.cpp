// A long run: the demo 737 flies the same twenty-minute flight over and over through the scenario runner
// on its simulated clock (as fast as the machine goes), for a simulated day: gate, checklists, engine
// starts, takeoff, climb, a cruise in which the simulator values wander, descent, landing, abort. Figures:
// how the heap in use grows from the end of the first flight to the end of the last, apart from the two
// records the program keeps whole by design and that grow by what is said (the run log and the spoken-line
// history, each reported on its own), and what a pass costs in the last flight against the first. The
// runner's own records (its timeline, the inputs it has played) are emptied after every flight: they are the
// test harness's, not the program's.
#include "app/frame.h"
#include "base/log.h"
#include "base/settings.h"
#include "bench/bench_util.h"
#include "flow/executer.h"
#include "scenario/scenario.h"
#include "systems/model.h"

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <new>
#include <string>

// The heap in use, counted by replacing the global allocation functions: each block carries its size in a
// header of its own.
namespace {
std::atomic<long long> heapInUse{0};
constexpr std::size_t kHeader = 16; // keeps the block's alignment

void* Allocate(std::size_t size) {
    void* block = std::malloc(size + kHeader);
    if (!block) throw std::bad_alloc();
    *static_cast<std::size_t*>(block) = size;
    heapInUse += static_cast<long long>(size);
    return static_cast<char*>(block) + kHeader;
}
void Release(void* p) noexcept {
    if (!p) return;
    void* block = static_cast<char*>(p) - kHeader;
    heapInUse -= static_cast<long long>(*static_cast<std::size_t*>(block));
    std::free(block);
}
} // namespace

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wpragmas"
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void* operator new(std::size_t size) {
    return Allocate(size);
}
void* operator new[](std::size_t size) {
    return Allocate(size);
}
void operator delete(void* p) noexcept {
    Release(p);
}
void operator delete[](void* p) noexcept {
    Release(p);
}
void operator delete(void* p, std::size_t) noexcept {
    Release(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    Release(p);
}
#pragma GCC diagnostic pop

namespace {
constexpr double kFlightSeconds = 1200;
constexpr int kFlights = 72; // a day

// The simulator variable moves linearly from `from` to `to` between the two times.
void Ramp(double start, const char* spec, double from, double to, double seconds) {
    const int steps = std::max(1, static_cast<int>(seconds / 0.2));
    for (int i = 0; i <= steps; ++i)
        ScheduleSimValue(start + seconds * i / steps, spec, from + (to - from) * i / steps);
}

void Answers(double start, std::initializer_list<const char*> answers) {
    double at = start;
    for (const char* answer : answers) {
        ScheduleHeard(at, answer);
        at += 8;
    }
}

// One flight, from time t0 of the simulated clock.
void ScheduleFlight(double t0) {
    for (const char* spec :
         {"A:AIRSPEED INDICATED", "A:INDICATED ALTITUDE", "A:RADIO HEIGHT", "A:VERTICAL SPEED",
          "A:TURB ENG N1:1", "A:TURB ENG N1:2", "A:TURB ENG N2:1", "A:TURB ENG N2:2", "A:FLAPS HANDLE INDEX"})
        ScheduleSimValue(t0 + 0.5, spec, 0);
    ScheduleSimValue(t0 + 0.5, "A:SIM ON GROUND", 1);
    ScheduleSimValue(t0 + 0.5, "A:BRAKE PARKING POSITION", 1);
    ScheduleSimValue(t0 + 0.5, "A:GEAR HANDLE POSITION", 1);
    ScheduleSimValue(t0 + 0.5, "A:FUEL TOTAL QUANTITY", 5000);
    ScheduleRunways(t0 + 0.5, "27L", "09R");
    ScheduleHeard(t0 + 2, "hello");
    ScheduleHeard(t0 + 8, "runway check");
    ScheduleHeard(t0 + 15, "before start checklist");
    Answers(t0 + 25, {"closed and locked", "plenty", "set", "windows locked", "set", "set", "completed",
                      "free and zero", "completed", "on"});
    ScheduleKeyEvent(t0 + 110, "K:TOGGLE_PUSHBACK");
    ScheduleHeard(t0 + 115, "start engine two");
    Ramp(t0 + 121, "A:TURB ENG N2:2", 0, 62, 20);
    ScheduleHeard(t0 + 150, "start engine one");
    Ramp(t0 + 156, "A:TURB ENG N2:1", 0, 62, 20);
    ScheduleSimValue(t0 + 185, "A:BRAKE PARKING POSITION", 0);
    ScheduleHeard(t0 + 190, "flaps five");
    ScheduleSimValue(t0 + 193, "A:FLAPS HANDLE INDEX", 3);
    ScheduleHeard(t0 + 200, "before takeoff checklist");
    Answers(t0 + 210, {"set", "set", "confirmed"});
    ScheduleSimValue(t0 + 240, "A:TURB ENG N1:1", 92);
    ScheduleSimValue(t0 + 240, "A:TURB ENG N1:2", 92);
    Ramp(t0 + 240, "A:AIRSPEED INDICATED", 0, 150, 30);
    ScheduleSimValue(t0 + 271, "A:SIM ON GROUND", 0);
    ScheduleSimValue(t0 + 271, "A:VERTICAL SPEED", 2000);
    Ramp(t0 + 271, "A:RADIO HEIGHT", 0, 400, 10);
    Ramp(t0 + 271, "A:INDICATED ALTITUDE", 0, 400, 10);
    ScheduleHeard(t0 + 285, "gear up");
    ScheduleSimValue(t0 + 289, "A:GEAR HANDLE POSITION", 0);
    Ramp(t0 + 289, "A:AIRSPEED INDICATED", 150, 230, 20);
    ScheduleHeard(t0 + 315, "flaps up");
    ScheduleSimValue(t0 + 318, "A:FLAPS HANDLE INDEX", 0);
    ScheduleHeard(t0 + 325, "after takeoff checklist");
    Answers(t0 + 335, {"on", "auto", "up and off", "up no lights"});
    Ramp(t0 + 370, "A:INDICATED ALTITUDE", 400, 12000, 30);
    Ramp(t0 + 370, "A:RADIO HEIGHT", 400, 2500, 30);
    // Cruise: the values wander a little every second.
    for (int s = 0; s < 500; ++s) {
        double t = t0 + 400 + s;
        ScheduleSimValue(t, "A:INDICATED ALTITUDE", 12000 + 40 * std::sin(s * 0.05));
        ScheduleSimValue(t, "A:AIRSPEED INDICATED", 230 + 3 * std::sin(s * 0.13));
        ScheduleSimValue(t, "A:VERTICAL SPEED", 60 * std::cos(s * 0.05));
    }
    // Descent and landing.
    ScheduleSimValue(t0 + 900, "A:VERTICAL SPEED", -1500);
    Ramp(t0 + 900, "A:INDICATED ALTITUDE", 12000, 0, 120);
    Ramp(t0 + 900, "A:RADIO HEIGHT", 2500, 0, 120);
    Ramp(t0 + 900, "A:AIRSPEED INDICATED", 230, 140, 120);
    ScheduleSimValue(t0 + 1000, "A:FLAPS HANDLE INDEX", 3);
    ScheduleSimValue(t0 + 1010, "A:GEAR HANDLE POSITION", 1);
    ScheduleSimValue(t0 + 1021, "A:SIM ON GROUND", 1);
    ScheduleSimValue(t0 + 1021, "A:VERTICAL SPEED", 0);
    Ramp(t0 + 1021, "A:AIRSPEED INDICATED", 140, 0, 40);
    ScheduleSimValue(t0 + 1030, "A:TURB ENG N1:1", 20);
    ScheduleSimValue(t0 + 1030, "A:TURB ENG N1:2", 20);
    Ramp(t0 + 1070, "A:TURB ENG N2:1", 62, 0, 20);
    Ramp(t0 + 1070, "A:TURB ENG N2:2", 62, 0, 20);
    ScheduleSimValue(t0 + 1100, "A:BRAKE PARKING POSITION", 1);
    ScheduleHeard(t0 + 1150, "abort");
}

// The heap the first officer's spoken-line history holds: every line she has said, kept for the whole run
// by design (the widget shows the newest). Strings of up to 15 bytes live inside their record.
long long HistoryBytes() {
    long long bytes = 0;
    for (const std::string& line : ExecuterData().recentPhrases)
        bytes +=
            static_cast<long long>(sizeof(std::string) + (line.capacity() > 15 ? line.capacity() + 1 : 0));
    return bytes;
}

struct FlightFigures {
    double passMicroseconds = 0; // median over the flight's passes
    long long heapAtEnd = 0;     // less what the run log and the spoken-line history hold
    long long historyAtEnd = 0;
    size_t logAtEnd = 0;
    size_t logGrowth = 0;
    int linesSpoken = 0;
};
} // namespace

int main() {
    namespace fs = std::filesystem;
    const fs::path folder = fs::temp_directory_path() / ("talvero-bench-soak-" + std::to_string(std::rand()));
    fs::create_directories(folder);
    Log().log.path = (folder / "log.txt").generic_string();
    Log().drf.path = (folder / "drf.txt").generic_string();
    if (!LoadScenarioProfile(std::string(TALVERO_SOURCE_DIR) + "/data/PM738")) {
        std::printf("bench soak: the demo profile did not load\n");
        return 1;
    }
    ScenarioSettings settings;
    settings.poseSeconds = 0.8;
    StartScenario(settings);
    Settings().captainName = "Mark";
    Settings().officerName = "Linda";

    std::vector<FlightFigures> flights;
    std::vector<double> passTimes;
    passTimes.reserve(static_cast<size_t>(kFlightSeconds / 0.02) + 1);
    auto wallStart = std::chrono::steady_clock::now();
    for (int f = 0; f < kFlights; ++f) {
        ScenarioState& s = Scenario();
        // The runner's records of the flight before: played inputs and the timeline.
        s.inputs.erase(s.inputs.begin(), s.inputs.begin() + static_cast<std::ptrdiff_t>(s.nextInput));
        s.nextInput = 0;
        s.timeline.clear();
        s.timeline.shrink_to_fit();
        const double t0 = f * kFlightSeconds;
        ScheduleFlight(t0);
        const size_t logBefore = Log().log.text.size();
        passTimes.clear();
        while (static_cast<double>(s.pass) * s.settings.passSeconds <= t0 + kFlightSeconds - 0.02 + 1e-9) {
            auto began = std::chrono::steady_clock::now();
            RunScenarioPass();
            passTimes.push_back(
                std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - began).count());
        }
        FlightFigures figures;
        figures.passMicroseconds = Percentile(passTimes, 50);
        figures.linesSpoken = static_cast<int>(TimelineOf(TimelineKind::Spoken).size());
        s.timeline.clear();
        s.timeline.shrink_to_fit();
        s.inputs.erase(s.inputs.begin(), s.inputs.begin() + static_cast<std::ptrdiff_t>(s.nextInput));
        s.inputs.shrink_to_fit();
        s.nextInput = 0;
        figures.logAtEnd = Log().log.text.size();
        figures.logGrowth = figures.logAtEnd - logBefore;
        figures.historyAtEnd = HistoryBytes();
        figures.heapAtEnd =
            heapInUse.load() - static_cast<long long>(Log().log.text.capacity() + 1) - figures.historyAtEnd;
        flights.push_back(figures);
    }
    double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count();

    const FlightFigures& first = flights.front();
    const FlightFigures& last = flights.back();
    // From the end of the first flight (everything warm) to the end of the last; the log is held whole in
    // memory by design, so its growth is reported beside the rest, not in it.
    long long heapGrowth = last.heapAtEnd - first.heapAtEnd;
    long long logGrowth = static_cast<long long>(last.logAtEnd) - static_cast<long long>(first.logAtEnd);
    PrintFigure("soak", "simulated", kFlights * kFlightSeconds / 3600.0, "h");
    PrintFigure("soak", "run time", wall, "s");
    PrintFigure("soak", "memory growth", static_cast<double>(heapGrowth) / 1024.0, "kB");
    PrintFigure("soak", "log growth", static_cast<double>(logGrowth) / 1024.0, "kB");
    PrintFigure("soak", "spoken-line history growth",
                static_cast<double>(last.historyAtEnd - first.historyAtEnd) / 1024.0, "kB");
    PrintFigure("soak", "log growth per flight first", static_cast<double>(first.logGrowth), "bytes");
    PrintFigure("soak", "log growth per flight last", static_cast<double>(last.logGrowth), "bytes");
    PrintFigure("soak", "lines spoken per flight first", first.linesSpoken, "count");
    PrintFigure("soak", "lines spoken per flight last", last.linesSpoken, "count");
    PrintFigure("soak", "pass cost first", first.passMicroseconds, "us");
    PrintFigure("soak", "pass cost last", last.passMicroseconds, "us");
    PrintFigure("soak", "pass cost last/first", last.passMicroseconds / first.passMicroseconds, "ratio");
    std::error_code ec;
    fs::remove_all(folder, ec);
    return 0;
}
