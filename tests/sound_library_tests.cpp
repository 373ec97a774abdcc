// The SDL sound library on SDL's own drivers: "disk" writes the mixed output to a file that the tests
// read back; a post-mix hook counts the frames mixed so far to mark when each call happened.
#include "sound/sdl_sound_library.h"
#include "sound_test_wav.h"

#include <SDL.h>
#include <SDL_mixer.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <random>
#include <thread>

using namespace soundtest;

namespace {

constexpr int rate = SdlSoundLibrary::sampleRate;
constexpr long chunk = SdlSoundLibrary::chunkFrames;

std::atomic<long> framesMixed{0};

void countMixedFrames(void*, Uint8*, int bytes)
{
    framesMixed += bytes / 4;
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

long firstAtOrAbove(const std::vector<std::int16_t>& left, long from, int level)
{
    for (long i = from; i < long(left.size()); ++i)
        if (left[i] >= level)
            return i;
    return -1;
}

long firstBelow(const std::vector<std::int16_t>& left, long from, int level)
{
    for (long i = from; i < long(left.size()); ++i)
        if (left[i] < level)
            return i;
    return -1;
}

long firstNonzero(const std::vector<std::int16_t>& left, long from = 0)
{
    for (long i = from; i < long(left.size()); ++i)
        if (left[i] != 0)
            return i;
    return -1;
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
        device = library.dsInitialize(0);
        ASSERT_NE(device, 0) << SDL_GetError();
        framesMixed = 0;
        Mix_SetPostMix(countMixedFrames, nullptr);
    }

    void TearDown() override
    {
        Mix_SetPostMix(nullptr, nullptr);
        if (device != 0)
            library.dsTerminate(device);
    }

    long fileFrames() const
    {
        std::error_code error;
        const auto size = std::filesystem::file_size(outputFile, error);
        return error ? 0 : long(size / 4);
    }

    // Waits until the mixer has produced `frames` frames and the file holds them; returns the left channel,
    // after checking that the right one matches it.
    std::vector<std::int16_t> waitForOutput(long frames)
    {
        const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while ((framesMixed < frames || fileFrames() < frames) && std::chrono::steady_clock::now() < giveUp)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        std::ifstream in(outputFile, std::ios::binary);
        std::vector<std::int16_t> interleaved(std::size_t(fileFrames()) * 2);
        in.read(reinterpret_cast<char*>(interleaved.data()), std::streamsize(interleaved.size() * 2));
        std::vector<std::int16_t> left(interleaved.size() / 2);
        long mismatched = 0;
        for (std::size_t i = 0; i < left.size(); ++i) {
            left[i] = interleaved[2 * i];
            mismatched += interleaved[2 * i] != interleaved[2 * i + 1];
        }
        EXPECT_GE(long(left.size()), frames);
        EXPECT_EQ(mismatched, 0) << "left and right differ";
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
};

TEST_F(DiskOutputTest, PlayedToneAppearsAtItsPitchAndTheLibraryKeepsItsOwnCopy)
{
    open();
    auto image = pcm16Wav(sine(1000, 0.2, 8000));
    const SoundHandle tone = load(image, 1);
    // The caller releases its memory right away; the sound must not depend on it.
    std::fill(image.begin(), image.end(), 0xAB);
    image.clear();
    image.shrink_to_fit();

    const long before = framesMixed;
    library.dsPlay(tone);
    const auto left = waitForOutput(before + rate / 2);
    const long start = firstNonzero(left);
    ASSERT_GE(start, before);
    const long length = rate / 5;
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
    for (const Case& c : cases) {
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
        const long before = framesMixed;
        library.dsPlay(sound);
        const auto left = waitForOutput(before + rate / 2);
        const long start = firstNonzero(left, before);
        ASSERT_GE(start, before);
        EXPECT_NEAR(toneAmplitude(left, start + 200, start + rate / 4 - 200, 700), 16384, 1200);
        // It lasts 0.25 s at the output rate: quiet after, sounding in its last hundredth of a second.
        EXPECT_EQ(firstNonzero(left, start + rate / 4 + 64), -1);
        EXPECT_GT(toneAmplitude(left, start + rate / 4 - 441, start + rate / 4 - 20, 700), 8000);
        library.dsFree(sound);
    }
}

TEST_F(DiskOutputTest, LoopingSoundRepeatsUntilStoppedAndCanLoopAgain)
{
    open();
    // 50 ms of a constant level, then 50 ms of silence: each repeat is one rising edge.
    auto samples = constant(3000, 0.05);
    samples.resize(samples.size() * 2, 0);
    const SoundHandle beat = load(pcm16Wav(samples), 1);

    const long started = framesMixed;
    library.dsPlayLooping(beat);
    auto left = waitForOutput(started + rate);  // one second: ten repeats
    long repeats = 0;
    for (long i = std::max(started, 1L); i < long(left.size()); ++i)
        repeats += left[i] != 0 && left[i - 1] == 0;
    EXPECT_GE(repeats, 9);

    library.dsStop(beat);
    const long stopped = framesMixed;
    left = waitForOutput(stopped + rate / 2);
    EXPECT_EQ(firstNonzero(left, stopped), -1) << "sound after dsStop";

    library.dsPlayLooping(beat);
    const long again = framesMixed;
    left = waitForOutput(again + rate / 2);
    EXPECT_NE(firstNonzero(left, stopped), -1) << "looping again after dsStop";
}

// A constant level lets the output count the playings: n overlapping playings sum to n times the level.
TEST_F(DiskOutputTest, ThreeBufferSoundOverlapsThriceAndAFourthPlayRestartsTheOldest)
{
    open();
    const long length = rate;  // one second
    const SoundHandle sound = load(pcm16Wav(constant(1000, 1.0)), 3);
    long marks[4];
    for (long& mark : marks) {
        mark = framesMixed;
        library.dsPlay(sound);
        // Let a few chunks pass so that the playings start at different places.
        while (framesMixed < mark + 3 * chunk)
            std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    const long lastCall = framesMixed;
    ASSERT_LT(lastCall, marks[0] + length) << "the test ran too slowly for its playings to overlap";

    const auto left = waitForOutput(lastCall + length + rate / 4);
    // Levels are compared halfway between steps: format conversion may round a level by one.
    EXPECT_NEAR(*std::max_element(left.begin(), left.end()), 3000, 3) << "three playings at most";
    const long startA = firstAtOrAbove(left, 0, 500);
    const long startB = firstAtOrAbove(left, startA, 1500);
    const long startC = firstAtOrAbove(left, startB, 2500);
    ASSERT_TRUE(startA >= 0 && startB > startA && startC > startB);
    // The fourth play restarted A, so B is the first to end, then C, then the restarted A.
    const long firstEnd = firstBelow(left, startC, 2500);
    EXPECT_EQ(firstEnd, startB + length);
    EXPECT_EQ(firstBelow(left, firstEnd, 1500), startC + length);
    const long lastEnd = firstBelow(left, startC, 1);
    EXPECT_GE(lastEnd, marks[3] + length);
    EXPECT_LE(lastEnd, lastCall + length);
}

TEST_F(DiskOutputTest, OneBufferSoundRestartsInsteadOfOverlapping)
{
    open();
    const long length = rate / 2;
    const SoundHandle sound = load(pcm16Wav(constant(1000, 0.5)), 1);
    library.dsPlay(sound);
    const long second = framesMixed;
    while (framesMixed < second + 4 * chunk)
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    const long beforeRestart = framesMixed;
    library.dsPlay(sound);
    const long afterRestart = framesMixed;
    ASSERT_LT(afterRestart, second + length);

    const auto left = waitForOutput(afterRestart + length + rate / 4);
    EXPECT_NEAR(*std::max_element(left.begin(), left.end()), 1000, 1);
    const long start = firstNonzero(left);
    const long end = firstBelow(left, start, 1);
    EXPECT_GE(end, beforeRestart + length) << "the second play starts the sound over";
    EXPECT_LE(end, afterRestart + length);
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
    long mark = framesMixed;
    auto left = waitForOutput(mark + rate / 4);
    EXPECT_EQ(firstNonzero(left), -1) << "something played";

    library.dsPlayLooping(loop);
    for (const SoundHandle nothing : {0, freed, loop + 1000, -1}) {
        library.dsStop(nothing);
        library.dsFree(nothing);
    }
    EXPECT_EQ(library.dsTerminate(0), 0);
    EXPECT_EQ(library.dsTerminate(device + 1), 0);
    mark = framesMixed;
    left = waitForOutput(mark + rate / 2);
    EXPECT_NEAR(*std::min_element(left.begin() + mark, left.end()), 2000, 1) << "the loop was disturbed";
    EXPECT_NEAR(*std::max_element(left.begin(), left.end()), 2000, 1);

    // Sounds are only made on the open device.
    const auto image = pcm16Wav(constant(1000, 0.01));
    EXPECT_EQ(library.dsCreateDSB(0, image, 1), 0);
    EXPECT_EQ(library.dsCreateDSB(device + 1, image, 1), 0);
    EXPECT_EQ(library.dsCreateDSB(device, image, 0), 0);
    EXPECT_EQ(library.dsCreateDSB(device, image, -3), 0);
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

// Start latency of dsPlay on the disk driver running at real-time pace: from the call to the moment the
// mixer hands the driver the chunk holding the first sample, plus that sample's place within the chunk.
// Printed, not judged against a time.
std::atomic<long> firstSoundOffset{-1};
std::atomic<std::int64_t> firstSoundMixedAt{0};

void findFirstSound(void*, Uint8* stream, int bytes)
{
    framesMixed += bytes / 4;
    if (firstSoundOffset >= 0)
        return;
    const auto* samples = reinterpret_cast<const std::int16_t*>(stream);
    for (int i = 0; i < bytes / 2; ++i) {
        if (samples[i] != 0) {
            firstSoundMixedAt = std::chrono::steady_clock::now().time_since_epoch().count();
            firstSoundOffset = i / 2;
            return;
        }
    }
}

TEST_F(DiskOutputTest, StartLatencyIsMeasured)
{
    open(nullptr);
    const SoundHandle click = load(pcm16Wav(constant(5000, 0.005)), 1);
    Mix_SetPostMix(findFirstSound, nullptr);
    std::vector<double> latencies;
    for (int trial = 0; trial < 12; ++trial) {
        // Call at different places within the mixing period.
        std::this_thread::sleep_for(std::chrono::microseconds(3000 + 1700 * trial));
        firstSoundOffset = -1;
        const auto called = std::chrono::steady_clock::now();
        library.dsPlay(click);
        while (firstSoundOffset < 0 && std::chrono::steady_clock::now() - called < std::chrono::seconds(2))
            std::this_thread::sleep_for(std::chrono::microseconds(100));
        ASSERT_GE(firstSoundOffset, 0) << "the click never reached the driver";
        const auto mixedAt = std::chrono::steady_clock::time_point(std::chrono::steady_clock::duration(firstSoundMixedAt));
        latencies.push_back(std::chrono::duration<double, std::milli>(mixedAt - called).count() +
                            1000.0 * double(firstSoundOffset) / rate);
    }
    // The click also reached the file.
    const auto left = waitForOutput(framesMixed);
    EXPECT_NE(firstNonzero(left), -1);
    std::sort(latencies.begin(), latencies.end());
    std::cout << "dsPlay start latency on the disk driver (" << latencies.size() << " plays, chunk " << chunk
              << " frames): min " << latencies.front() << " ms, median " << latencies[latencies.size() / 2]
              << " ms, max " << latencies.back() << " ms\n";
    RecordProperty("start_latency_median_ms", std::to_string(latencies[latencies.size() / 2]));
}

}  // namespace
