// SPDX-License-Identifier: GPL-3.0-or-later
// The SDL sound library on SDL's own drivers: "disk" writes the mixed output to a file that the tests
// read back; a post-mix hook counts the frames mixed so far to mark when each call happened.
#include "fakes.h"
#include "desktop/sdl_sound_library.h"
#include "sound_test_wav.h"

#include <SDL.h>
#include <SDL_mixer.h>
#include <gtest/gtest.h>

#include <csignal>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <random>
#include <thread>

using namespace soundtest;

namespace {

constexpr int rate = SdlSoundLibrary::sampleRate;
constexpr long chunk = SdlSoundLibrary::chunkFrames;

// The post-mix hook runs on the audio thread with the mixer locked, after each chunk is mixed. It keeps the
// count of frames mixed and the samples themselves (interleaved stereo), so that the index of a frame is
// exactly its place in what the mixer handed the device. The samples are read only once the device is closed.
std::atomic<long> framesMixed{0};
std::atomic<long> oddSizedChunks{0};
std::vector<std::int16_t> mixedSamples;

// A library call that the audio thread makes itself between two chunks, for tests whose calls must land a
// set number of chunks apart however the test thread is scheduled. It holds the mixer lock there, as any
// call from another thread does while it changes what is playing.
struct PlannedCall {
    long after;  // frames after the plan starts; made at the first chunk boundary at or past that
    std::function<void()> call;
    long madeAt = -1;  // the frame from which the call takes effect
};
std::vector<PlannedCall>* plan = nullptr;  // read and changed only with the mixer locked
long planStart = 0;
std::atomic<std::size_t> plannedCallsMade{0};

void countMixedFrames(void*, Uint8* stream, int bytes)
{
    const auto* samples = reinterpret_cast<const std::int16_t*>(stream);
    mixedSamples.insert(mixedSamples.end(), samples, samples + bytes / 2);
    oddSizedChunks += bytes != chunk * 4;
    const long mixed = framesMixed += bytes / 4;
    if (plan == nullptr)
        return;
    for (std::size_t n = plannedCallsMade; n < plan->size() && planStart + (*plan)[n].after <= mixed;
         n = ++plannedCallsMade) {
        (*plan)[n].madeAt = mixed;
        (*plan)[n].call();
    }
}

// Amplitude of the component at `hertz` in samples [from, to), by the Goertzel recurrence.
double toneAmplitude(const std::vector<std::int16_t>& left, long from, long to, double hertz)
{
    const double coefficient = 2 * std::cos(2 * std::numbers::pi * hertz / rate);
    double previous = 0;
    double beforePrevious = 0;
    for (long i = from; i < to; ++i) {
        const double current = left[i] + coefficient * previous - beforePrevious;
        beforePrevious = previous;
        previous = current;
    }
    const double power = previous * previous + beforePrevious * beforePrevious - coefficient * previous * beforePrevious;
    return 2 * std::sqrt(std::max(power, 0.0)) / double(to - from);
}

// The first sample in [from, to) that is not zero, or -1; `to` of -1 means the end.
long firstNonzero(const std::vector<std::int16_t>& left, long from = 0, long to = -1)
{
    if (to < 0 || to > long(left.size()))
        to = long(left.size());
    for (long i = from; i < to; ++i)
        if (left[i] != 0)
            return i;
    return -1;
}

// The first sample in [from, to) farther than `playings` from `playings` times `level`, or -1. Converting a
// sound to the output format may round any of its samples by one, so n playings may each be one off.
long firstNotAt(const std::vector<std::int16_t>& left, long from, long to, int level, int playings = 1)
{
    for (long i = from; i < to; ++i)
        if (i >= long(left.size()) || std::abs(left[i] - playings * level) > playings)
            return i;
    return -1;
}

// True when `file` is `mixed` with nothing but whole chunks of silence before and after it. SDL's audio thread
// writes silence of its own while the device is paused, which it is until the mixer starts (and it may write
// once more while the device closes); and chunks mixed before the hook was set are silent too.
bool isMixedBetweenSilence(const std::vector<std::int16_t>& file, const std::vector<std::int16_t>& mixed)
{
    const auto silent = [](auto from, auto to) { return std::all_of(from, to, [](std::int16_t s) { return s == 0; }); };
    const std::size_t step = std::size_t(chunk) * 2;
    for (std::size_t lead = 0; lead + mixed.size() <= file.size(); lead += step) {
        if (!silent(file.begin(), file.begin() + long(lead)))
            return false;
        const auto end = file.begin() + long(lead + mixed.size());
        if (std::equal(mixed.begin(), mixed.end(), file.begin() + long(lead)) && silent(end, file.end()) &&
            (file.end() - end) % long(step) == 0)
            return true;
    }
    return false;
}

// Opens the library on SDL's disk driver, writing into a temporary file, `delayMs` between chunks.
class DiskOutputTest : public testing::Test {
protected:
    // Opens the library on SDL's disk driver writing into a temporary file, with `delayMs` between chunks
    // (about eleven times real time), or at the driver's own real-time pace when `delayMs` is null.
    void open(const char* delayMs = "1")
    {
        setenv("SDL_AUDIODRIVER", "disk", 1);
        setenv("SDL_DISKAUDIOFILE", outputFile.c_str(), 1);
        if (delayMs != nullptr)
            setenv("SDL_DISKAUDIODELAY", delayMs, 1);
        else
            unsetenv("SDL_DISKAUDIODELAY");
        framesMixed = 0;
        oddSizedChunks = 0;
        mixedSamples.clear();
        mixedSamples.reserve(std::size_t(8 * rate * 2));
        device = library.dsInitialize(0);
        ASSERT_NE(device, 0) << SDL_GetError();
        Mix_SetPostMix(countMixedFrames, nullptr);
        // SDL_mixer keeps the id of its device to itself; it is the one device playing.
        for (SDL_AudioDeviceID id = 1; id <= 32; ++id) {
            if (SDL_GetAudioDeviceStatus(id) == SDL_AUDIO_PLAYING) {
                ASSERT_EQ(audioDevice, 0u) << "more than one audio device open";
                audioDevice = id;
            }
        }
        ASSERT_NE(audioDevice, 0u) << "the mixer's device is not playing";
    }

    void TearDown() override
    {
        Mix_SetPostMix(nullptr, nullptr);
        if (device != 0)
            library.dsTerminate(device);
    }

    // Makes `call` with the mixer locked and returns the frame from which it takes effect: no chunk is mixed
    // while the lock is held, so every frame before it was mixed without the call and every one after with it.
    template <class Call>
    long callLocked(Call call)
    {
        SDL_LockAudioDevice(audioDevice);
        const long frame = framesMixed;
        call();
        SDL_UnlockAudioDevice(audioDevice);
        return frame;
    }

    long now()
    {
        return callLocked([] {});
    }

    void waitUntilMixed(long frames)
    {
        const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (framesMixed < frames && std::chrono::steady_clock::now() < giveUp)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        EXPECT_GE(framesMixed, frames) << "the mixer stalled";
    }

    // Has the audio thread make the calls in order and waits until all are made; each call's madeAt says where.
    void runPlan(std::vector<PlannedCall>& calls)
    {
        callLocked([&] {
            planStart = framesMixed;
            plannedCallsMade = 0;
            plan = &calls;
        });
        const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (plannedCallsMade < calls.size() && std::chrono::steady_clock::now() < giveUp)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        callLocked([] { plan = nullptr; });
        ASSERT_EQ(plannedCallsMade, calls.size()) << "the mixer stalled";
    }

    // Closes the device once `frames` frames are mixed and returns the left channel of all that was mixed,
    // after checking that the right channel matches it and that the disk file holds exactly what was mixed.
    std::vector<std::int16_t> finish(long frames)
    {
        waitUntilMixed(frames);
        EXPECT_NE(library.dsTerminate(device), 0);
        device = 0;
        EXPECT_EQ(oddSizedChunks, 0) << "the device took chunks of other than " << chunk << " frames";

        std::error_code error;
        const auto size = std::filesystem::file_size(outputFile, error);
        std::vector<std::int16_t> file(error ? 0 : std::size_t(size / 4) * 2);
        std::ifstream(outputFile, std::ios::binary)
            .read(reinterpret_cast<char*>(file.data()), std::streamsize(file.size() * 2));
        EXPECT_TRUE(isMixedBetweenSilence(file, mixedSamples))
            << "the disk output (" << file.size() / 2 << " frames) is not the " << mixedSamples.size() / 2
            << " frames mixed";

        std::vector<std::int16_t> left(mixedSamples.size() / 2);
        long mismatched = 0;
        for (std::size_t i = 0; i < left.size(); ++i) {
            left[i] = mixedSamples[2 * i];
            mismatched += mixedSamples[2 * i] != mixedSamples[2 * i + 1];
        }
        EXPECT_GE(long(left.size()), frames);
        EXPECT_EQ(mismatched, 0) << "left and right differ";
        left.resize(std::max(left.size(), std::size_t(frames)));  // zeros where frames are missing
        return left;
    }

    SoundHandle load(const std::vector<std::uint8_t>& image, int buffers)
    {
        const SoundHandle handle = library.dsCreateDSB(device, image, buffers);
        EXPECT_NE(handle, 0);
        return handle;
    }

    TempDir dir{"sound-library"};
    std::string outputFile = (dir.path() / "mixed.raw").string();
    SdlSoundLibrary library;
    std::int32_t device = 0;
    SDL_AudioDeviceID audioDevice = 0;
};

TEST_F(DiskOutputTest, PlayedToneAppearsAtItsPitchAndTheLibraryKeepsItsOwnCopy)
{
    open();
    const auto samples = sine(1000, 0.2, 8000);
    auto image = pcm16Wav(samples);
    const SoundHandle tone = load(image, 1);
    // The caller releases its memory right away; the sound must not depend on it.
    std::fill(image.begin(), image.end(), 0xAB);
    image.clear();
    image.shrink_to_fit();

    const long start = callLocked([&] { library.dsPlay(tone); });
    const auto left = finish(start + rate / 2);
    // The tone starts on the first frame mixed after the call; its first sample is zero, its second is not.
    EXPECT_EQ(firstNonzero(left), start + 1);
    const long length = long(samples.size());
    long different = 0;
    for (long i = 0; i < length; ++i)
        different += std::abs(left[start + i] - samples[i]) > 1;
    EXPECT_EQ(different, 0) << "the output is not the tone as loaded";
    EXPECT_NEAR(toneAmplitude(left, start, start + length, 1000), 8000, 400);
    EXPECT_LT(toneAmplitude(left, start, start + length, 1500), 200);
    EXPECT_EQ(firstNonzero(left, start + length), -1) << "played once, it ends after 0.2 s";
}

TEST_F(DiskOutputTest, OtherSampleFormatsPlayAtTheirPitchAndLength)
{
    open();
    struct Case {
        WavFormat format;
        const char* name;
    };
    const Case cases[] = {{{1, 1, 22050, 8}, "8-bit 22050 Hz mono"},
                          {{1, 2, 48000, 16}, "16-bit 48000 Hz stereo"},
                          {{3, 1, 44100, 32}, "float 44100 Hz mono"},
                          {{1, 2, 32000, 24}, "24-bit 32000 Hz stereo"}};
    long played[std::size(cases)];
    for (std::size_t n = 0; n < std::size(cases); ++n) {
        const Case& c = cases[n];
        SCOPED_TRACE(c.name);
        // 700 Hz at half of full scale for 0.25 s.
        std::vector<std::uint8_t> data;
        const std::size_t frames = c.format.rate / 4;
        for (std::size_t i = 0; i < frames; ++i) {
            const double value = 0.5 * std::sin(2 * std::numbers::pi * 700 * double(i) / c.format.rate);
            for (int channel = 0; channel < c.format.channels; ++channel) {
                if (c.format.code == 3) {
                    const float sample = float(value);
                    std::uint32_t bits;
                    std::memcpy(&bits, &sample, 4);
                    putLe(data, bits, 4);
                } else if (c.format.bits == 8) {
                    data.push_back(std::uint8_t(std::lround(128 + 127 * value)));
                } else {
                    const long full = (1L << (c.format.bits - 1)) - 1;
                    putLe(data, std::uint32_t(std::lround(value * double(full))), c.format.bits / 8);
                }
            }
        }
        const SoundHandle sound = load(wavImage(c.format, data), 1);
        played[n] = callLocked([&] { library.dsPlay(sound); });
        waitUntilMixed(played[n] + rate / 2);
        library.dsFree(sound);
    }
    const auto left = finish(played[std::size(cases) - 1] + rate / 2);
    for (std::size_t n = 0; n < std::size(cases); ++n) {
        SCOPED_TRACE(cases[n].name);
        const long next = n + 1 < std::size(cases) ? played[n + 1] : long(left.size());
        EXPECT_EQ(firstNonzero(left, n == 0 ? 0 : played[n - 1] + rate / 4 + 64, played[n]), -1);
        // A resampled sound may open with a sample or two that round to zero.
        const long start = firstNonzero(left, played[n], next);
        ASSERT_GE(start, played[n]);
        EXPECT_LE(start, played[n] + 2);
        EXPECT_NEAR(toneAmplitude(left, start + 200, start + rate / 4 - 200, 700), 16384, 1200);
        // It lasts 0.25 s at the output rate: quiet after, sounding in its last hundredth of a second.
        EXPECT_EQ(firstNonzero(left, start + rate / 4 + 64, next), -1);
        EXPECT_GT(toneAmplitude(left, start + rate / 4 - 441, start + rate / 4 - 20, 700), 8000);
    }
}

TEST_F(DiskOutputTest, LoopingSoundRepeatsUntilStoppedAndCanLoopAgain)
{
    open();
    // 50 ms of a constant level, then 50 ms of silence.
    auto samples = constant(3000, 0.05);
    samples.resize(samples.size() * 2, 0);
    const long period = long(samples.size());
    const SoundHandle beat = load(pcm16Wav(samples), 1);

    const long started = callLocked([&] { library.dsPlayLooping(beat); });
    waitUntilMixed(started + rate);  // one second: ten repeats
    const long stopped = callLocked([&] { library.dsStop(beat); });
    waitUntilMixed(stopped + rate / 2);
    const long again = callLocked([&] { library.dsPlayLooping(beat); });
    const auto left = finish(again + rate / 2);

    EXPECT_EQ(firstNonzero(left), started) << "sound before dsPlayLooping, or none from it";
    // Sample for sample the sound over and over, with no gap at the seam.
    const auto loopDiffers = [&](long from, long to) {
        long differing = 0;
        for (long i = from; i < to; ++i)
            differing += std::abs(left[i] - samples[std::size_t((i - from) % period)]) > 1;
        return differing;
    };
    EXPECT_EQ(loopDiffers(started, stopped), 0) << "the loop did not repeat until dsStop";
    EXPECT_EQ(firstNonzero(left, stopped, again), -1) << "sound after dsStop";
    EXPECT_EQ(loopDiffers(again, again + rate / 2), 0) << "looping again after dsStop";
}

// A constant level lets the output count the playings: n overlapping playings sum to n times the level.
TEST_F(DiskOutputTest, ThreeBufferSoundOverlapsThriceFurtherPlaysRestartTheOldestAndStopSilencesAll)
{
    open();
    const long length = rate;  // one second
    const SoundHandle sound = load(pcm16Wav(constant(1000, 1.0)), 3);
    // Five plays three chunks apart, well inside the length of one playing; once all have ended, three more
    // and a stop.
    std::vector<PlannedCall> plays;
    for (int k = 0; k < 5; ++k)
        plays.push_back({3 * chunk * k, [&] { library.dsPlay(sound); }});
    for (int k = 0; k < 3; ++k)
        plays.push_back({12 * chunk + length + 3 * chunk * k, [&] { library.dsPlay(sound); }});
    plays.push_back({12 * chunk + length + 9 * chunk, [&] { library.dsStop(sound); }});
    runPlan(plays);
    std::vector<long> at;
    for (const auto& play : plays)
        at.push_back(play.madeAt);
    ASSERT_TRUE(std::is_sorted(at.begin(), at.end()) && std::adjacent_find(at.begin(), at.end()) == at.end());
    const long a = at[0], b = at[1], c = at[2], d = at[3], e = at[4];
    ASSERT_LT(e + length, at[5]);
    const long stopped = at[8];
    const auto left = finish(stopped + rate / 4);

    EXPECT_EQ(firstNonzero(left, 0, a), -1);
    EXPECT_EQ(firstNotAt(left, a, b, 1000), -1) << "A alone";
    EXPECT_EQ(firstNotAt(left, b, c, 1000, 2), -1) << "A and B";
    // The fourth play restarted A, the oldest, and the fifth B, the oldest then: C ends first, then A, then B.
    EXPECT_EQ(firstNotAt(left, c, c + length, 1000, 3), -1) << "three at a time, A restarted at " << d << ", B at " << e;
    EXPECT_EQ(firstNotAt(left, c + length, d + length, 1000, 2), -1) << "the restarted A and B";
    EXPECT_EQ(firstNotAt(left, d + length, e + length, 1000), -1) << "the restarted B";
    EXPECT_EQ(firstNonzero(left, e + length, at[5]), -1) << "all ended";
    EXPECT_EQ(firstNotAt(left, at[7], stopped, 1000, 3), -1) << "three again";
    EXPECT_EQ(firstNonzero(left, stopped), -1) << "the stop silences every playing";
}

TEST_F(DiskOutputTest, OneBufferSoundRestartsInsteadOfOverlapping)
{
    open();
    const long length = rate / 2;
    const SoundHandle sound = load(pcm16Wav(constant(1000, 0.5)), 1);
    std::vector<PlannedCall> plays{{0, [&] { library.dsPlay(sound); }}, {4 * chunk, [&] { library.dsPlay(sound); }}};
    runPlan(plays);
    const long first = plays[0].madeAt;
    const long restart = plays[1].madeAt;
    ASSERT_LT(first, restart);
    const auto left = finish(restart + length + rate / 4);

    EXPECT_EQ(firstNonzero(left, 0, first), -1);
    EXPECT_EQ(firstNotAt(left, first, restart + length, 1000), -1)
        << "the second play starts the sound over, once, at " << restart;
    EXPECT_EQ(firstNonzero(left, restart + length), -1);
}

// The game itself on this library, its sounds loaded from files as at start-up: the tune loops beneath
// everything, four quick hits sound three at a time (the fourth starts the oldest over), and two quick key
// strokes sound the mole once at a time (the second starts it over). Each sound has a level of its own.
TEST_F(DiskOutputTest, GameEventsSoundOverlappingUpToTheBufferCountsTheGameLoadsWith)
{
    open();
    constexpr int tune = 10;
    constexpr int hit = 1000;
    constexpr int mole = 100;
    const long length = rate / 2;
    TempDir folder{"game-sounds"};
    writeFile(folder.path() / "BGM.wav", pcm16Wav(constant(tune, 0.01)));
    writeFile(folder.path() / "打音.wav", pcm16Wav(constant(hit, 0.5)));
    writeFile(folder.path() / "モグラ.wav", pcm16Wav(constant(mole, 0.5)));
    GameRig rig;
    Form1 game{Platform{rig.surface, rig.sprites, rig.clock, rig.random, rig.dialogs, rig.window, library}};
    const auto previous = std::filesystem::current_path();
    std::filesystem::current_path(folder.path());
    const long loaded = callLocked([&] { game.Form_Load(); });
    std::filesystem::current_path(previous);
    game.処理_開始();
    GameState& s = game.state;

    const auto blowOnFullyRaisedMole = [&] {
        s.moleStageByHole[2] = 5;
        s.moleDirByHole[2] = s.dirUp;
        s.keyEnabledByHole[2] = s.flagOn;
        s.hammerAim = s.hammerAimByHole[2];
        s.hammerFrame = 4;
        s.hammerDir = s.dirDown;
        game.Timer1_Timer();
    };
    const auto strokeHole1 = [&] { game.Form_KeyPress('a'); };
    std::vector<PlannedCall> events;
    for (int k = 0; k < 4; ++k)
        events.push_back({3 * chunk * k, blowOnFullyRaisedMole});
    events.push_back({length + 13 * chunk, strokeHole1});
    events.push_back({length + 17 * chunk, strokeHole1});
    runPlan(events);
    const long a = events[0].madeAt, b = events[1].madeAt, c = events[2].madeAt, d = events[3].madeAt;
    const long m = events[4].madeAt, n = events[5].madeAt;
    ASSERT_TRUE(a < b && b < c && c < d && d + length < m && m < n);
    const auto left = finish(n + length + rate / 10);

    // The first frame in [from, to) off the sum of the tune and `level`, or -1; each playing may round by one.
    const auto firstOff = [&](long from, long to, int level, int playings) {
        for (long i = from; i < to; ++i)
            if (std::abs(left[i] - tune - level) > playings + 1)
                return i;
        return -1L;
    };
    EXPECT_EQ(firstOff(loaded + chunk, a, 0, 0), -1) << "the tune alone, looping";
    EXPECT_EQ(firstOff(a, b, hit, 1), -1) << "one hit";
    EXPECT_EQ(firstOff(b, c, 2 * hit, 2), -1) << "two hits";
    EXPECT_EQ(firstOff(c, b + length, 3 * hit, 3), -1) << "three hits; the fourth started the first over";
    EXPECT_EQ(firstOff(d + length, m, 0, 0), -1) << "the tune alone again";
    EXPECT_EQ(firstOff(m, n + length, mole, 1), -1) << "one mole sound, started over by the second stroke";
    EXPECT_EQ(firstOff(n + length, n + length + rate / 10, 0, 0), -1) << "the tune still looping";
}

TEST_F(DiskOutputTest, HandleZeroAndUnknownHandlesDoNothing)
{
    open();
    const SoundHandle loop = load(pcm16Wav(constant(2000, 0.1)), 1);
    const SoundHandle freed = load(pcm16Wav(constant(4000, 0.1)), 3);
    library.dsFree(freed);

    for (const SoundHandle nothing : {0, freed, loop + 1000, -1}) {
        library.dsPlay(nothing);
        library.dsPlayLooping(nothing);
    }
    waitUntilMixed(now() + rate / 4);

    const long looping = callLocked([&] { library.dsPlayLooping(loop); });
    for (const SoundHandle nothing : {0, freed, loop + 1000, -1}) {
        library.dsStop(nothing);
        library.dsFree(nothing);
    }
    EXPECT_EQ(library.dsTerminate(0), 0);
    EXPECT_EQ(library.dsTerminate(device + 1), 0);

    // Sounds are only made on the open device.
    const auto image = pcm16Wav(constant(1000, 0.01));
    EXPECT_EQ(library.dsCreateDSB(0, image, 1), 0);
    EXPECT_EQ(library.dsCreateDSB(device + 1, image, 1), 0);
    EXPECT_EQ(library.dsCreateDSB(device, image, 0), 0);
    EXPECT_EQ(library.dsCreateDSB(device, image, -3), 0);

    const long until = now() + rate / 2;
    const auto left = finish(until);
    EXPECT_EQ(firstNonzero(left), looping) << "something played before the loop";
    EXPECT_EQ(firstNotAt(left, looping, until, 2000), -1) << "the loop was disturbed";
}

// Every way a .wav image can be broken yields 0; the intact image loads, so the checks can tell.
TEST_F(DiskOutputTest, MalformedImagesAreRefused)
{
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    device = library.dsInitialize(0);
    ASSERT_NE(device, 0);
    const auto good = pcm16Wav(sine(440, 0.01, 5000));
    const SoundHandle control = library.dsCreateDSB(device, good, 1);
    ASSERT_NE(control, 0);
    library.dsFree(control);

    for (std::size_t cut = 0; cut < good.size(); ++cut)
        EXPECT_EQ(library.dsCreateDSB(device, std::span(good).first(cut), 1), 0) << "truncated to " << cut;

    struct Case {
        const char* name;
        std::size_t offset;
        std::uint32_t value;
        int bytes;
    };
    const Case cases[] = {
        {"RIFF size too large", 4, std::uint32_t(good.size()), 4},
        {"RIFF size too small", 4, std::uint32_t(good.size() - 10), 4},
        {"RIFF size claims 2 GB", 4, 0x7FFFFFF0, 4},
        {"data size claims 2 GB", 40, 0x7FFFFFF0, 4},
        {"data size claims 4 GB", 40, 0xFFFFFFFF, 4},
        {"data size one more", 40, std::uint32_t(good.size() - 44 + 1), 4},
        {"data size half a frame short", 40, std::uint32_t(good.size() - 44 - 1), 4},
        {"data size zero", 40, 0, 4},
        {"fmt size claims 2 GB", 16, 0x7FFFFFF0, 4},
        {"fmt size too short", 16, 12, 4},
        {"not RIFF", 0, 0x46464952 ^ 0x20, 4},
        {"not WAVE", 8, 0x45564157 ^ 0x20, 4},
        {"MS ADPCM", 20, 2, 2},
        {"MPEG layer 3", 20, 0x55, 2},
        {"mu-law", 20, 7, 2},
        {"unknown encoding", 20, 0x1234, 2},
        {"extensible without its extension", 20, 0xFFFE, 2},
        {"no channels", 22, 0, 2},
        {"too many channels", 22, 300, 2},
        {"rate zero", 24, 0, 4},
        {"block align wrong", 32, 4, 2},
        {"12-bit samples", 34, 12, 2},
        {"fmt renamed, so no format", 12, 0x20746D67, 4},
        {"data renamed, so no data", 36, 0x61746164 ^ 0x20, 4},
    };
    for (const Case& c : cases) {
        auto bad = good;
        for (int i = 0; i < c.bytes; ++i)
            bad[c.offset + i] = std::uint8_t(c.value >> (8 * i));
        EXPECT_EQ(library.dsCreateDSB(device, bad, 1), 0) << c.name;
    }

    auto trailing = good;
    trailing.push_back(0);
    EXPECT_EQ(library.dsCreateDSB(device, trailing, 1), 0) << "bytes after the RIFF chunk";

    std::mt19937 random(4);
    std::vector<std::uint8_t> garbage(4096);
    for (auto& byte : garbage)
        byte = std::uint8_t(random());
    EXPECT_EQ(library.dsCreateDSB(device, garbage, 1), 0) << "garbage";
    std::copy(good.begin(), good.begin() + 12, garbage.begin());
    setLe32(garbage, 4, std::uint32_t(garbage.size() - 8));
    EXPECT_EQ(library.dsCreateDSB(device, garbage, 1), 0) << "garbage behind a RIFF WAVE header";

    // Random damage to the header must never crash or read outside the image; freeing whatever loads.
    for (int round = 0; round < 3000; ++round) {
        auto damaged = good;
        for (int hits = 1 + int(random() % 3); hits > 0; --hits)
            damaged[random() % 48] = std::uint8_t(random());
        if (round % 2 == 0)
            damaged.resize(random() % damaged.size());
        library.dsFree(library.dsCreateDSB(device, damaged, 1));
    }
}

TEST_F(DiskOutputTest, TerminateClosesTheDeviceAndItCanBeOpenedAgain)
{
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    const auto image = pcm16Wav(constant(1000, 0.01));
    device = library.dsInitialize(12345);  // any window: the device does not depend on it
    ASSERT_NE(device, 0);
    EXPECT_EQ(library.dsInitialize(0), device) << "already open";
    const SoundHandle before = library.dsCreateDSB(device, image, 3);
    ASSERT_NE(before, 0);

    SdlSoundLibrary other;
    EXPECT_EQ(other.dsInitialize(0), 0) << "one device at a time";

    EXPECT_NE(library.dsTerminate(device), 0);
    EXPECT_EQ(library.dsCreateDSB(device, image, 1), 0) << "closed";
    const std::int32_t old = device;
    device = library.dsInitialize(0);
    ASSERT_NE(device, 0);
    EXPECT_NE(device, old);
    EXPECT_EQ(library.dsCreateDSB(old, image, 1), 0) << "stale device handle";
    const SoundHandle after = library.dsCreateDSB(device, image, 3);
    EXPECT_NE(after, 0);
    EXPECT_NE(after, before) << "handles of the closed device stay unknown";
    EXPECT_EQ(library.dsPlay(before), 0);
    EXPECT_NE(library.dsPlay(after), 0);
}

TEST(SdlSoundLibraryWithoutAudio, InitializeReturnsZeroWhenNoDriverOpens)
{
    setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
    SdlSoundLibrary library;
    EXPECT_EQ(library.dsInitialize(0), 0);
    EXPECT_EQ(library.dsCreateDSB(0, pcm16Wav(constant(1000, 0.01)), 1), 0);
    EXPECT_EQ(library.dsPlay(1), 0);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    const std::int32_t device = library.dsInitialize(0);
    EXPECT_NE(device, 0) << "a failed open leaves nothing behind";
    library.dsTerminate(device);
}

// SIGTERM and Ctrl+C must still end the game once the sound device is open.
TEST(SdlSoundLibraryWithoutAudio, OpeningTheDeviceLeavesTerminationSignalsAlone)
{
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    SdlSoundLibrary library;
    const std::int32_t device = library.dsInitialize(0);
    ASSERT_NE(device, 0);
    for (const int signal : {SIGTERM, SIGINT}) {
        struct sigaction action {};
        sigaction(signal, nullptr, &action);
        EXPECT_EQ(action.sa_handler, SIG_DFL) << signal;
    }
    library.dsTerminate(device);
}

}  // namespace
