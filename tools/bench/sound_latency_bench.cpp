// SPDX-License-Identifier: GPL-3.0-or-later
// Start latency of dsPlay, from the call to the sound's first sample:
// - on SDL's disk driver running at real-time pace: the moment the mixer hands the driver the chunk holding the
//   sound's first sample, plus that sample's place within the chunk;
// - through a private PulseAudio server with a null sink, as SDL finds a player's sound server: the moment a
//   reader of the sink's monitor (parec, 1 ms fragments) receives the first block holding the sound.
#include "bench_figures.h"
#include "desktop/sdl_sound_library.h"

#include <SDL.h>
#include <SDL_mixer.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <thread>

namespace {

using Steady = std::chrono::steady_clock;
namespace fs = std::filesystem;

constexpr double chunkMs = 1000.0 * SdlSoundLibrary::chunkFrames / SdlSoundLibrary::sampleRate;

// Opens the sound device, loads the .wav and plays it `plays` times, each after a silent gap that puts the call
// at a different place within the mixing period. `probe` watches the output: start() once the device is open,
// arm() before each call, then heardMs(call) waits for the sound and gives its latency in milliseconds, or a
// negative value if it never came. The latencies come back sorted.
template <typename Probe>
std::vector<double> timePlays(const fs::path& wav, int plays, double gapMs, Probe& probe)
{
    std::ifstream in(wav, std::ios::binary);
    const std::vector<std::uint8_t> image{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    SdlSoundLibrary library;
    const std::int32_t device = library.dsInitialize(0);
    if (device == 0)
        throw std::runtime_error(std::string("no sound device: ") + SDL_GetError());
    const SoundHandle sound = library.dsCreateDSB(device, image, 1);
    if (sound == 0)
        throw std::runtime_error("cannot load " + wav.string());
    probe.start();
    std::vector<double> latencies;
    for (int play = 0; play < plays; ++play) {
        std::this_thread::sleep_for(std::chrono::duration<double, std::milli>(gapMs + chunkMs * play / plays));
        probe.arm();
        const auto called = Steady::now();
        library.dsPlay(sound);
        const double latency = probe.heardMs(called);
        library.dsStop(sound);
        if (latency < 0)
            throw std::runtime_error("the sound never came out");
        latencies.push_back(latency);
    }
    library.dsTerminate(device);
    std::sort(latencies.begin(), latencies.end());
    return latencies;
}

// Polls a flag for up to two seconds.
template <typename Condition>
bool waitFor(Condition done)
{
    const auto began = Steady::now();
    while (!done() && Steady::now() - began < std::chrono::seconds(2))
        std::this_thread::sleep_for(std::chrono::microseconds(100));
    return done();
}

std::atomic<long> firstSoundOffset{-1};
std::atomic<Steady::rep> firstSoundMixedAt{0};

// The mixer's post-mix hook: notes when the first chunk with a sound in it was mixed, and where in it
// the sound begins.
void findFirstSound(void*, Uint8* stream, int bytes)
{
    if (firstSoundOffset >= 0)
        return;
    const auto* samples = reinterpret_cast<const std::int16_t*>(stream);
    for (int i = 0; i < bytes / 2; ++i) {
        if (samples[i] != 0) {
            firstSoundMixedAt = Steady::now().time_since_epoch().count();
            firstSoundOffset = i / SdlSoundLibrary::outputChannels;
            return;
        }
    }
}

// Reads the sink's monitor from parec's output and notes when the first block with sound arrives after arm().
class MonitorProbe {
public:
    explicit MonitorProbe(int output) : output(output), reader([this] { read(); }) {}
    ~MonitorProbe()
    {
        reader.join();
        close(output);
    }
    MonitorProbe(const MonitorProbe&) = delete;
    MonitorProbe& operator=(const MonitorProbe&) = delete;

    void start() const { waitFor([this] { return receiving.load(); }); }
    void arm() { heardAt = 0; }
    double heardMs(Steady::time_point called) const
    {
        if (!waitFor([this] { return heardAt != 0; }))
            return -1;
        return std::chrono::duration<double, std::milli>(Steady::time_point(Steady::duration(heardAt)) - called).count();
    }

private:
    void read()
    {
        std::int16_t samples[2048];
        for (;;) {
            const ssize_t got = ::read(output, samples, sizeof samples);
            if (got <= 0)
                return;
            const auto now = Steady::now().time_since_epoch().count();
            receiving = true;
            // Samples are two bytes and reads come in whole fragments of them.
            if (heardAt == 0 && std::any_of(samples, samples + got / 2, [](std::int16_t s) { return s != 0; }))
                heardAt = now;
        }
    }

    int output;
    std::atomic<bool> receiving{false};
    std::atomic<Steady::rep> heardAt{1}; // not looking until armed
    std::thread reader;
};

// A started program, stopped when this goes.
struct Running {
    explicit Running(pid_t pid) : pid(pid) {}
    ~Running() { stop(pid); }
    Running(const Running&) = delete;
    Running& operator=(const Running&) = delete;
    pid_t pid;
};

} // namespace

void MixerProbe::start()
{
    Mix_SetPostMix(findFirstSound, nullptr);
}

void MixerProbe::arm()
{
    firstSoundOffset = -1;
}

bool MixerProbe::heard() const
{
    return firstSoundOffset >= 0;
}

double MixerProbe::latencyMs(Steady::time_point called) const
{
    const Steady::time_point mixedAt{Steady::duration(firstSoundMixedAt)};
    return std::chrono::duration<double, std::milli>(mixedAt - called).count() +
           1000.0 * double(firstSoundOffset) / SdlSoundLibrary::sampleRate;
}

double MixerProbe::heardMs(Steady::time_point called) const
{
    return waitFor([this] { return heard(); }) ? latencyMs(called) : -1;
}

MixerProbe::~MixerProbe()
{
    Mix_SetPostMix(nullptr, nullptr);
}

std::vector<double> measureStartLatency(const fs::path& wav, int plays)
{
    const auto output = fs::temp_directory_path() / ("zubotta-bench-" + std::to_string(getpid()) + ".raw");
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", output.c_str(), 1);
    unsetenv("SDL_DISKAUDIODELAY"); // the driver's own real-time pace
    MixerProbe probe;
    auto latencies = timePlays(wav, plays, 2 * chunkMs, probe);
    fs::remove(output);
    return latencies;
}

std::vector<double> measureServerStartLatency(const fs::path& wav, int plays, std::string& notMeasured)
{
    const fs::path server = "/usr/bin/pulseaudio";
    const fs::path recorder = "/usr/bin/parec";
    if (access(server.c_str(), X_OK) != 0 || access(recorder.c_str(), X_OK) != 0) {
        notMeasured = "pulseaudio or parec is not installed";
        return {};
    }
    const fs::path work = fs::temp_directory_path() / ("zubotta-bench-pulse-" + std::to_string(getpid()));
    const fs::path runtime = work / "runtime";
    fs::create_directories(runtime);
    fs::permissions(runtime, fs::perms::owner_all, fs::perm_options::replace);
    const std::vector<std::string> env = {"XDG_RUNTIME_DIR=" + runtime.string(), "HOME=" + work.string()};
    std::vector<double> latencies;
    {
        const Running pulseaudio(spawn({server, "--daemonize=no", "-n", "--exit-idle-time=-1",
                                        "--load=module-null-sink sink_name=zubotta_bench",
                                        "--load=module-native-protocol-unix auth-anonymous=1"},
                                       work, env, work / "pulseaudio.log"));
        if (!waitFor([&] { return fs::exists(runtime / "pulse" / "native"); }))
            throw std::runtime_error("the PulseAudio server did not start (see " + (work / "pulseaudio.log").string() + ")");
        int monitor[2];
        if (pipe2(monitor, O_CLOEXEC) != 0)
            throw std::runtime_error("no pipe");
        MonitorProbe probe(monitor[0]);
        // Stopped before the probe ends, which then reads to the end of the pipe.
        const Running parec(spawn({recorder, "-d", "zubotta_bench.monitor", "--raw", "--format=s16le", "--rate=44100",
                                   "--channels=2", "--latency-msec=1"},
                                  work, env, work / "parec.log", -1, monitor[1]));
        close(monitor[1]);
        const char* const runtimeBefore = std::getenv("XDG_RUNTIME_DIR");
        const std::string keptRuntime = runtimeBefore != nullptr ? runtimeBefore : "";
        setenv("SDL_AUDIODRIVER", "pulseaudio", 1);
        setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
        // The monitor lags the sound by tens of milliseconds: a long gap keeps each play's tail apart.
        latencies = timePlays(wav, plays, 300, probe);
        if (keptRuntime.empty())
            unsetenv("XDG_RUNTIME_DIR");
        else
            setenv("XDG_RUNTIME_DIR", keptRuntime.c_str(), 1);
    }
    fs::remove_all(work);
    return latencies;
}
