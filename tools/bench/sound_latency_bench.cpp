// Start latency of dsPlay on SDL's disk driver running at real-time pace: from the call to the moment the
// mixer hands the driver the chunk holding the sound's first sample, plus that sample's place within the
// chunk.
#include "bench_figures.h"
#include "sound/sdl_sound_library.h"

#include <SDL.h>
#include <SDL_mixer.h>

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

} // namespace

std::vector<double> measureStartLatency(const std::filesystem::path& wav, int plays)
{
    std::ifstream in(wav, std::ios::binary);
    const std::vector<std::uint8_t> image{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    const auto output = std::filesystem::temp_directory_path() / ("zubotta-bench-" + std::to_string(getpid()) + ".raw");
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", output.c_str(), 1);
    unsetenv("SDL_DISKAUDIODELAY"); // the driver's own real-time pace

    SdlSoundLibrary library;
    const std::int32_t device = library.dsInitialize(0);
    if (device == 0)
        throw std::runtime_error(std::string("no sound device: ") + SDL_GetError());
    const SoundHandle sound = library.dsCreateDSB(device, image, 1);
    if (sound == 0)
        throw std::runtime_error("cannot load " + wav.string());
    Mix_SetPostMix(findFirstSound, nullptr);

    constexpr double chunkMs = 1000.0 * SdlSoundLibrary::chunkFrames / SdlSoundLibrary::sampleRate;
    std::vector<double> latencies;
    for (int play = 0; play < plays; ++play) {
        // Two silent chunks, then a call at a different place within the mixing period each time.
        std::this_thread::sleep_for(std::chrono::duration<double, std::milli>(2 * chunkMs + chunkMs * play / plays));
        firstSoundOffset = -1;
        const auto called = Steady::now();
        library.dsPlay(sound);
        while (firstSoundOffset < 0 && Steady::now() - called < std::chrono::seconds(2))
            std::this_thread::sleep_for(std::chrono::microseconds(100));
        library.dsStop(sound);
        if (firstSoundOffset < 0)
            throw std::runtime_error("the sound never reached the driver");
        const Steady::time_point mixedAt{Steady::duration(firstSoundMixedAt)};
        latencies.push_back(std::chrono::duration<double, std::milli>(mixedAt - called).count() +
                            1000.0 * double(firstSoundOffset) / SdlSoundLibrary::sampleRate);
    }
    Mix_SetPostMix(nullptr, nullptr);
    library.dsTerminate(device);
    std::filesystem::remove(output);
    std::sort(latencies.begin(), latencies.end());
    return latencies;
}
