// SPDX-License-Identifier: GPL-3.0-or-later
// The benchmark program: the tick cases (tick_bench.cpp), dsPlay's start latency on the disk driver and through a
// PulseAudio server, the game window in-process with a virtual game controller, the real game started from outside,
// then one table of every figure beside its target, with the machine it ran on.
//
// usage: zubotta_bench <zubotta program> <folder with the seven generated .wav files> [benchmark options]
#include "bench_figures.h"

#include <benchmark/benchmark.h>

#include <QApplication>

#include <sys/utsname.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <fstream>
#include <map>
#include <string>

namespace {

// The console output as usual, and each figure kept by name ("RunningTick/devicePixelRatio:1/repeats:15_median",
// "RealPace:ticks_per_s") for the table.
class KeepingReporter final : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs) {
            figures[run.benchmark_name()] = run.GetAdjustedRealTime();
            for (const auto& [name, counter] : run.counters)
                figures[run.benchmark_name() + ":" + name] = counter.value;
        }
        ConsoleReporter::ReportRuns(runs);
    }
    // The figure, or 0 if its case did not run (filtered out or failed).
    double operator[](const std::string& name) const
    {
        const auto found = figures.find(name);
        return found != figures.end() ? found->second : 0;
    }

private:
    std::map<std::string, double> figures;
};

std::string cpuModel()
{
    std::ifstream in("/proc/cpuinfo");
    for (std::string line; std::getline(in, line);)
        if (line.starts_with("model name"))
            return line.substr(line.find(':') + 2);
    return "unknown processor";
}

std::string loadAverage()
{
    std::ifstream in("/proc/loadavg");
    double one = 0, five = 0, fifteen = 0;
    in >> one >> five >> fifteen;
    char text[64];
    std::snprintf(text, sizeof text, "%.2f %.2f %.2f", one, five, fifteen);
    return text;
}

std::string machine()
{
    utsname name{};
    uname(&name);
    return cpuModel() + ", " + std::to_string(sysconf(_SC_NPROCESSORS_ONLN)) + " cores, " + name.sysname + " " +
           name.release + " " + name.machine;
}

void row(const char* measure, const std::string& figure, const char* target)
{
    std::printf("| %-58s | %-26s | %-13s |\n", measure, figure.c_str(), target);
}

std::string format(const char* pattern, double a, double b = 0, double c = 0)
{
    char text[96];
    std::snprintf(text, sizeof text, pattern, a, b, c);
    return text;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s <zubotta program> <folder with the generated .wav files> [benchmark options]\n",
                     argv[0]);
        return 2;
    }
    const std::filesystem::path game = argv[1];
    const std::filesystem::path sounds = argv[2];
    const std::string loadBefore = loadAverage();
    const auto began = std::chrono::steady_clock::now();

    KeepingReporter ticks;
    benchmark::RunSpecifiedBenchmarks(&ticks);
    benchmark::Shutdown();

    constexpr int plays = 16;
    constexpr int starts = 6;
    std::vector<double> latencies;
    std::vector<double> serverLatencies;
    std::string serverNotMeasured;
    ControllerFigures controllers;
    GameProcessFigures process;
    try {
        std::printf("\nMeasuring dsPlay's start latency (%d plays) ...\n", plays);
        std::fflush(stdout);
        latencies = measureStartLatency(sounds / "打音.wav", plays);
        std::printf("Measuring it again through a private PulseAudio server (%d plays) ...\n", plays);
        std::fflush(stdout);
        serverLatencies = measureServerStartLatency(sounds / "打音.wav", plays, serverNotMeasured);
        std::printf("The game window with a virtual game controller: 2 x 10 s waiting, then %d presses of its buttons "
                    "and keys in a round ...\n", plays);
        std::fflush(stdout);
        controllers = measureControllers(sounds, plays);
        std::printf("Starting the game %d times in a private X server, then 10 s waiting and 10 s of a round ...\n",
                    starts);
        std::fflush(stdout);
        process = measureGameProcess(game, sounds, starts);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "bench: %s\n", error.what());
        return 1;
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();

    std::printf("\nZubotta performance\nMachine: %s\nLoad average (1, 5, 15 min): %s before, %s after; %.0f s in all\n\n",
                machine().c_str(), loadBefore.c_str(), loadAverage().c_str(), seconds);
    row("Measure", "Figure", "Target");
    std::printf("|%s|%s|%s|\n", std::string(60, '-').c_str(), std::string(28, '-').c_str(), std::string(15, '-').c_str());
    row("Tick without its wait, pixel ratio 1 (median of 15)",
        format("%.3f ms", ticks["RunningTick/devicePixelRatio:1/repeats:15_median"] / 1000), "< 0.5 ms");
    row("Tick without its wait, pixel ratio 2 (median of 15)",
        format("%.3f ms", ticks["RunningTick/devicePixelRatio:2/repeats:15_median"] / 1000), "< 2 ms");
    row("Score renewed after a hit, pixel ratio 1 (median of 15)",
        format("%.1f us", ticks["ScoreOnHit/devicePixelRatio:1/repeats:15_median"]), "");
    row("Score renewed after a hit, pixel ratio 2 (median of 15)",
        format("%.1f us", ticks["ScoreOnHit/devicePixelRatio:2/repeats:15_median"]), "");
    row("Real pace, ticks per second over 10 s", format("%.2f", ticks["RealPace/iterations:1/real_time:ticks_per_s"]),
        "13.9 to 14.3");
    const double sleeping = ticks["RealPace/iterations:1/real_time:cpu_pct_of_core"];
    const double spinning = ticks["RealPaceSpinning/iterations:1/real_time:cpu_pct_of_core"];
    row("CPU during a round: tick loop in-process, 10 s", format("%.2f %% of a core", sleeping), "< 5 %");
    row("CPU saving: same loop with a spinning wait", format("%.1f %% of a core, %.0fx", spinning, spinning / sleeping),
        "");
    row("dsPlay start latency, disk driver (median; min to max)",
        format("%.1f ms (%.1f to %.1f)", median(latencies), latencies.front(), latencies.back()), "< 25 ms");
    if (serverLatencies.empty())
        row("dsPlay start latency, PulseAudio", "not measured: " + serverNotMeasured, "");
    else
        row("dsPlay start latency, PulseAudio (median; min to max)",
            format("%.1f ms (%.1f to %.1f)", median(serverLatencies), serverLatencies.front(), serverLatencies.back()),
            "< 40 ms");
    row(format("CPU while waiting: the window in-process, %.0f s, no pad", controllers.seconds).c_str(),
        format("%.2f %% of a core", controllers.waitingCpuPercent), "< 1 %");
    row(format("CPU while waiting: the same, %.0f s, a pad attached", controllers.seconds).c_str(),
        format("%.2f %% of a core", controllers.waitingWithPadCpuPercent), "< 1 %");
    const auto pressRow = [](const char* measure, const std::vector<double>& ms) {
        row(format(measure, double(ms.size())).c_str(),
            format("%.1f ms (%.1f to %.1f)", median(ms), ms.front(), ms.back()), "");
    };
    pressRow("A pad's hole button to its mole sound, round (median, %.0f)", controllers.padToSoundMs);
    pressRow("The hole's key to its mole sound, round (median, %.0f)", controllers.keyToSoundMs);
    if (!process.notMeasured.empty()) {
        row("The game under Xvfb", "not measured: " + process.notMeasured, "");
        return 0;
    }
    const std::vector<double> afterFirst(process.startUpMs.begin() + 1, process.startUpMs.end());
    row("Start-up, exec to painted opening screen: first start", format("%.0f ms", process.startUpMs.front()), "");
    row(format("Start-up: median of starts 2 to %.0f (min to max)", starts).c_str(),
        format("%.0f ms (%.0f to %.0f)", median(afterFirst), *std::min_element(afterFirst.begin(), afterFirst.end()),
               *std::max_element(afterFirst.begin(), afterFirst.end())),
        "< 300 ms");
    row(format("CPU while waiting, no round: the game, %.0f s", process.waitingSeconds).c_str(),
        format("%.2f %% of a core", process.waitingCpuPercent), "< 1 %");
    row(format("CPU during a round: the game, %.0f s", process.roundSeconds).c_str(),
        format("%.2f %% of a core", process.roundCpuPercent), "< 5 %");
    row("Resident memory after start-up: VmRSS (VmHWM)",
        format("%.1f MB (%.1f MB)", process.rssAfterStartUpKb / 1024.0, process.hwmAfterStartUpKb / 1024.0), "< 80 MB");
    row("Resident memory during a round: VmRSS (VmHWM)",
        format("%.1f MB (%.1f MB)", process.rssInRoundKb / 1024.0, process.hwmInRoundKb / 1024.0), "< 80 MB");
    return 0;
}
