// The main loop with empty subsystems for ten seconds: processor time as a share of one core, and how late
// each pass starts against its 20 ms schedule.
#include "app/frame.h"
#include "bench/bench_util.h"

#include <ctime>

namespace {
std::vector<double> lateness;
double previousStart = -1;

void MeasurePass() {
    double start = Frame().frameTime;
    if (previousStart >= 0) lateness.push_back((start - previousStart - 0.02) * 1000.0);
    previousStart = start;
}
} // namespace

int main() {
    ResetFrame();
    FrameState& frame = Frame();
    frame.clock = PlatformClock();
    frame.subsystems = FrameSubsystems{};
    frame.subsystems.monitor = MeasurePass;
    frame.startInstant = frame.clock.now();
    for (int i = 0; i < 25; ++i) RunPass(); // warm-up: the pacer learns how late sleeps come back
    lateness.clear();
    std::clock_t cpuBefore = std::clock();
    int64_t wallBefore = frame.clock.now();
    for (int i = 0; i < 500; ++i) RunPass();
    double cpu = static_cast<double>(std::clock() - cpuBefore) / CLOCKS_PER_SEC;
    double wall = static_cast<double>(frame.clock.now() - wallBefore) / 1e9;
    PrintFigure("main-loop", "cpu", 100.0 * cpu / wall, "%");
    PrintFigure("main-loop", "lateness median", Percentile(lateness, 50), "ms");
    PrintFigure("main-loop", "lateness p99", Percentile(lateness, 99), "ms");
    PrintFigure("main-loop", "lateness max", Percentile(lateness, 100), "ms");
    return 0;
}
