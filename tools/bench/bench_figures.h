// The measurements of the benchmark program beyond the tick cases: the real game started from outside,
// and the start latency of a sound.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

// The `zubotta` program in a private X server (Xvfb), started in a folder holding the seven sounds.
struct GameProcessFigures {
    std::string notMeasured;        // why nothing was measured, empty when it was
    std::vector<double> startUpMs;  // exec to the opening screen on screen, per start, in order
    double waitingCpuPercent = 0;   // of one core, the game idle with no round
    double roundCpuPercent = 0;     // of one core, while a round runs
    double waitingSeconds = 0;
    double roundSeconds = 0;
    long rssAfterStartUpKb = 0;
    long hwmAfterStartUpKb = 0;
    long rssInRoundKb = 0;
    long hwmInRoundKb = 0;
};
GameProcessFigures measureGameProcess(const std::filesystem::path& game, const std::filesystem::path& soundFolder,
                                      int starts);

// dsPlay start latencies in milliseconds, sorted, of the given .wav on SDL's disk driver at real-time pace.
std::vector<double> measureStartLatency(const std::filesystem::path& wav, int plays);
