// The cost of one logged line over a long run: 100,000 lines, the first thousand against the last.
#include "base/log.h"
#include "bench/bench_util.h"

#include <chrono>
#include <cstdio>
#include <filesystem>

int main() {
    namespace fs = std::filesystem;
    fs::path folder = fs::temp_directory_path() / "talvero-bench-log";
    fs::create_directories(folder);
    ResetLog();
    Log().log.path = (folder / "log.txt").string();
    const int lines = 100000;
    std::vector<double> perLine(lines);
    for (int i = 0; i < lines; ++i) {
        auto begin = std::chrono::steady_clock::now();
        WriteLog("AcfPath Request msgtype_REQUESTACF line " + std::to_string(i));
        perLine[i] = std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - begin).count();
    }
    std::vector<double> first(perLine.begin(), perLine.begin() + 1000);
    std::vector<double> last(perLine.end() - 1000, perLine.end());
    double firstMedian = Percentile(first, 50), lastMedian = Percentile(last, 50);
    PrintFigure("log", "first per line", firstMedian, "us");
    PrintFigure("log", "last per line", lastMedian, "us");
    PrintFigure("log", "last/first", lastMedian / firstMedian, "x");
    std::error_code ec;
    fs::remove_all(folder, ec);
    return 0;
}
