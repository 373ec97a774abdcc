// SPDX-License-Identifier: GPL-3.0-or-later
// The measurements of the benchmark program beyond the tick cases: the real game started from outside,
// the start latency of a sound, and the real game window in-process with a virtual game controller.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <string>
#include <vector>

// Starts a program (by its full path) in a folder with the given environment additions, its output into a log
// file, or its standard output into `outputFd` when one is given; `keepFd` stays open in it. Returns its id.
pid_t spawn(const std::vector<std::string>& command, const std::filesystem::path& folder,
            const std::vector<std::string>& extraEnv, const std::filesystem::path& log, int keepFd = -1,
            int outputFd = -1);
// Signals a started program and waits for its end.
void stop(pid_t pid, int signal = SIGTERM);

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

// dsPlay start latencies through a private PulseAudio server, as heard at its null sink's monitor; empty with
// the reason in `notMeasured` when the server's programs are missing.
std::vector<double> measureServerStartLatency(const std::filesystem::path& wav, int plays, std::string& notMeasured);

// The game window in-process on SDL's disk sound driver, as the program builds it, with SDL's virtual game
// controller attached.
struct ControllerFigures {
    double seconds = 0;                // of each stretch of waiting
    double waitingCpuPercent = 0;      // of one core, all the program's threads, no round and no pad
    double waitingWithPadCpuPercent = 0;
    std::vector<double> padToSoundMs;  // a hole's button to its mole sound's first sample, in a round, sorted
    std::vector<double> keyToSoundMs;  // the same for the hole's key
};
ControllerFigures measureControllers(const std::filesystem::path& soundFolder, int presses);

// Watches the sound device's mixed output for the first sound after arm(); start() once the device is open.
class MixerProbe {
public:
    MixerProbe() = default;
    MixerProbe(const MixerProbe&) = delete;
    MixerProbe& operator=(const MixerProbe&) = delete;
    ~MixerProbe();

    void start();
    void arm();
    bool heard() const;
    // From the call to the sound's first sample, in milliseconds, once heard.
    double latencyMs(std::chrono::steady_clock::time_point called) const;
    // Waits up to two seconds for the sound: its latency, or a negative value if it never came.
    double heardMs(std::chrono::steady_clock::time_point called) const;
};
