// SPDX-License-Identifier: GPL-3.0-or-later
// Shared by the bad-file, no-device and soak tests: the real game with the real SDL sound library on a
// fake clock, a scratch working folder, the game's invariants, and the process's resident memory.
#pragma once

#include "fakes.h"
#include "desktop/sdl_sound_library.h"
#include "sound_test_wav.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

namespace reliability {

// The seven sound files in the order start-up loads them, with their buffer counts.
struct SoundName {
    const char* name;
    int buffers;
};
inline const std::vector<SoundName> soundNames{
    {"その他.wav", 3}, {"禁止.wav", 3}, {"打音.wav", 3}, {"BGM.wav", 1},
    {"空振.wav", 1},   {"TIMEOUT.wav", 1}, {"モグラ.wav", 1},
};

// The handle start-up stored for the n-th name of soundNames.
inline SoundHandle handleOf(const GameState& s, std::size_t n)
{
    const SoundHandle handles[] = {s.sndOther, s.sndForbidden, s.sndHit, s.sndBgm, s.sndMiss, s.sndTimeUp, s.sndMole};
    return handles[n];
}

// A short, valid 16-bit tone; a different pitch per name.
inline std::vector<std::uint8_t> validSound(std::size_t n)
{
    return soundtest::pcm16Wav(soundtest::sine(300.0 + 100.0 * double(n), 0.05, 8000));
}

// A fresh temporary folder that is the working folder until destroyed, as the game's sound folder.
class WorkingFolder {
public:
    explicit WorkingFolder(const std::string& stem) : folder(stem), previous(std::filesystem::current_path())
    {
        std::filesystem::current_path(folder.path());
    }
    ~WorkingFolder() { std::filesystem::current_path(previous); }
    WorkingFolder(const WorkingFolder&) = delete;
    WorkingFolder& operator=(const WorkingFolder&) = delete;
    const std::filesystem::path& path() const { return folder.path(); }

private:
    soundtest::TempDir folder;
    std::filesystem::path previous;
};

// A fixed sequence of the whole [0, 1) range, so hammer targets vary as in the real game.
class SeededRandom final : public RandomSource {
public:
    explicit SeededRandom(unsigned seed) : generator(seed) {}
    float next() override { return uniform(generator); }

private:
    std::mt19937 generator;
    std::uniform_real_distribution<float> uniform{0.0f, 1.0f};
};

// Passes every call to the real library and remembers whether the background tune should be sounding:
// looping since its last dsPlayLooping, silent since its last dsStop.
class TuneTrackingLibrary final : public SoundLibrary {
public:
    explicit TuneTrackingLibrary(SoundLibrary& real) : real(real) {}
    std::int32_t dsInitialize(std::int32_t window) override { return real.dsInitialize(window); }
    SoundHandle dsCreateDSB(std::int32_t device, std::span<const std::uint8_t> image, std::int32_t count) override
    {
        return real.dsCreateDSB(device, image, count);
    }
    std::int32_t dsPlay(SoundHandle sound) override
    {
        ++plays;
        return real.dsPlay(sound);
    }
    std::int32_t dsPlayLooping(SoundHandle sound) override
    {
        looping = sound;
        return real.dsPlayLooping(sound);
    }
    std::int32_t dsStop(SoundHandle sound) override
    {
        if (sound == looping)
            looping = -1;
        return real.dsStop(sound);
    }
    std::int32_t dsFree(SoundHandle sound) override { return real.dsFree(sound); }
    std::int32_t dsTerminate(std::int32_t device) override { return real.dsTerminate(device); }

    SoundHandle looping = -1;  // the handle last set looping and not stopped since; -1 for none
    long plays = 0;

private:
    SoundLibrary& real;
};

// The real game, the real SDL sound library on SDL's dummy driver (unless the caller chose another),
// the real surface and art; the clock, randomness, boxes and window are fakes.
struct RealSoundRig {
    RealSoundRig() : surface(578, 437) { setenv("SDL_AUDIODRIVER", "dummy", 0); }

    SpriteCatalogue sprites;
    Surface surface;
    FakeClock clock;
    SeededRandom random{20260101};
    RecordingDialogs dialogs;
    FakeWindowSystem window;
    SdlSoundLibrary library;
    TuneTrackingLibrary sound{library};
    Form1 game{Platform{surface, sprites, clock, random, dialogs, window, sound}};
};

// Space, then ticks until "TIME UP" (a round is about 430 ticks on the fake clock).
inline void playRound(Form1& game)
{
    game.Form_KeyDown(32, 0);
    ASSERT_EQ(game.state.gameStopped, game.state.flagOff) << "Space did not start a round";
    for (int tick = 0; tick < 5000 && game.state.gameStopped != game.state.flagOn; ++tick) {
        if (tick % 7 == 0)
            game.Form_KeyPress("asdf"[tick / 7 % 4]);
        game.Timer1_Timer();
    }
    ASSERT_EQ(game.state.gameStopped, game.state.flagOn) << "the round never reached TIME UP";
    EXPECT_EQ(game.state.timeLeft, 0);
}

// The invariants of the game state that hold between any two events; returns what is broken, or "".
inline std::string brokenInvariant(const GameState& s, int previousBest)
{
    for (int h = 1; h <= 4; ++h) {
        const int stage = s.moleStageByHole[h];
        if (stage < 1 || stage > 5)
            return "hole " + std::to_string(h) + " at stage " + std::to_string(stage);
        if (s.moleDirByHole[h] != s.dirUp && s.moleDirByHole[h] != s.dirDown)
            return "hole " + std::to_string(h) + " has direction " + std::to_string(s.moleDirByHole[h]);
        if (stage == 5 && s.moleDirByHole[h] != s.dirUp)
            return "hole " + std::to_string(h) + " is fully up but not rising";
        if (s.keyEnabledByHole[h] != s.flagOn && s.keyEnabledByHole[h] != s.flagOff)
            return "hole " + std::to_string(h) + " key flag " + std::to_string(s.keyEnabledByHole[h]);
    }
    if (s.hammerFrame < 0 || s.hammerFrame > 4)
        return "hammer frame " + std::to_string(s.hammerFrame);
    if (s.hammerAim < 11 || s.hammerAim > 14)
        return "hammer aim " + std::to_string(s.hammerAim);
    if (s.score < 0)
        return "score " + std::to_string(s.score);
    if (s.bestScore < previousBest)
        return "best score fell from " + std::to_string(previousBest) + " to " + std::to_string(s.bestScore);
    if (s.timeLeft < 0 || s.timeLeft > 30)
        return "time left " + std::to_string(s.timeLeft);
    if (s.gameStopped != s.flagOn && s.gameStopped != s.flagOff)
        return "phase flag " + std::to_string(s.gameStopped);
    return "";
}

// Resident memory of this process in bytes, from /proc/self/statm.
inline long residentBytes()
{
    long pages = 0, resident = 0;
    if (std::FILE* statm = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(statm, "%ld %ld", &pages, &resident) != 2)
            resident = 0;
        std::fclose(statm);
    }
    return resident * sysconf(_SC_PAGESIZE);
}

// The most this process has had resident (VmHWM) since it began or since resetPeakResident, in bytes.
inline long peakResidentBytes()
{
    long kilobytes = 0;
    if (std::FILE* status = std::fopen("/proc/self/status", "r")) {
        char line[256];
        while (std::fgets(line, sizeof line, status) != nullptr)
            if (std::sscanf(line, "VmHWM: %ld kB", &kilobytes) == 1)
                break;
        std::fclose(status);
    }
    return kilobytes * 1024;
}

// Starts peakResidentBytes afresh from the present resident size.
inline void resetPeakResident()
{
    if (std::FILE* clear = std::fopen("/proc/self/clear_refs", "w")) {
        std::fputs("5", clear);
        std::fclose(clear);
    }
}

}  // namespace reliability
