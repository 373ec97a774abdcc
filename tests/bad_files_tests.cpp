// SPDX-License-Identifier: GPL-3.0-or-later
// Start-up with broken things in the game's folder, end to end: the real Form_Load with the real SDL
// sound library, each of the seven sound names in turn replaced by something bad while the other six
// are good. Start-up must return, show exactly the boxes of the sound module's failure table (one for a
// file that cannot be read or is empty, none for a missing name, a name that is not an ordinary file, or
// data the library refuses), keep the six good sounds, and the game must then play a round to TIME UP.
// Also long, low-rate sounds, and start-up without any sound device. Start-up times and memory are
// printed; memory is held only to a generous bound.
#include "reliability_support.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstring>
#include <fstream>
#include <numbers>
#include <optional>
#include <thread>

using namespace reliability;
namespace fs = std::filesystem;

namespace {

enum class Bad {
    missing,
    empty,
    truncated,
    randomBytes,
    noise100MB,
    directory,
    fifo,
    symlinkToDevZero,
    danglingSymlink,
    noReadPermission,
    unreadable,  // opens, but every read fails: a link to /proc/self/mem, whose first page is unmapped
};

const char* label(Bad bad)
{
    switch (bad) {
    case Bad::missing: return "missing";
    case Bad::empty: return "empty";
    case Bad::truncated: return "truncated";
    case Bad::randomBytes: return "randomBytes";
    case Bad::noise100MB: return "noise100MB";
    case Bad::directory: return "directory";
    case Bad::fifo: return "fifo";
    case Bad::symlinkToDevZero: return "symlinkToDevZero";
    case Bad::danglingSymlink: return "danglingSymlink";
    case Bad::noReadPermission: return "noReadPermission";
    case Bad::unreadable: return "unreadable";
    }
    return "?";
}

// What the failure table promises for the bad name.
enum class Expect { silentZero, oneBoxZero, loads };

Expect expected(Bad bad)
{
    switch (bad) {
    case Bad::empty:
    case Bad::unreadable:
        return Expect::oneBoxZero;
    case Bad::noReadPermission:
        // The superuser reads a file whatever its permissions, so there the file is simply good.
        return geteuid() == 0 ? Expect::loads : Expect::oneBoxZero;
    default:
        return Expect::silentZero;
    }
}

std::vector<std::uint8_t> randomBytes(std::size_t size, std::uint64_t seed)
{
    std::vector<std::uint8_t> bytes(size);
    std::uint64_t x = seed | 1;
    for (std::size_t i = 0; i < size; i += 8) {
        x ^= x << 13;
        x ^= x >> 7;
        x ^= x << 17;
        std::memcpy(bytes.data() + i, &x, std::min<std::size_t>(8, size - i));
    }
    return bytes;
}

// One 100 MB noise file per test program, hard-linked under each name that needs it.
const fs::path& bigNoiseFile()
{
    static soundtest::TempDir folder{"zubotta-noise"};
    static const fs::path file = [] {
        const fs::path path = folder.path() / "noise.bin";
        soundtest::writeFile(path, randomBytes(100u * 1024 * 1024, 99));
        return path;
    }();
    return file;
}

void makeBad(Bad bad, const std::string& name, std::size_t n)
{
    switch (bad) {
    case Bad::missing:
        break;
    case Bad::empty:
        soundtest::writeFile(name, {});
        break;
    case Bad::truncated: {
        const auto image = validSound(n);
        soundtest::writeFile(name, {image.begin(), image.begin() + std::ptrdiff_t(image.size() / 2)});
        break;
    }
    case Bad::randomBytes:
        soundtest::writeFile(name, randomBytes(4096 + 13 * n, n + 1));
        break;
    case Bad::noise100MB:
        fs::create_hard_link(bigNoiseFile(), name);
        break;
    case Bad::directory:
        fs::create_directory(name);
        soundtest::writeFile(fs::path(name) / "inside.wav", validSound(n));
        break;
    case Bad::fifo:
        ASSERT_EQ(mkfifo(name.c_str(), 0644), 0) << std::strerror(errno);
        break;
    case Bad::symlinkToDevZero:
        fs::create_symlink("/dev/zero", name);
        break;
    case Bad::danglingSymlink:
        fs::create_symlink("nowhere/at/all.wav", name);
        break;
    case Bad::noReadPermission:
        soundtest::writeFile(name, validSound(n));
        fs::permissions(name, fs::perms::none);
        break;
    case Bad::unreadable:
        fs::create_symlink("/proc/self/mem", name);
        break;
    }
}

// Were start-up to open a FIFO and wait for a writer, this opens the other end after a while, so the
// test fails on the read it then gets instead of hanging.
class FifoRescue {
public:
    explicit FifoRescue(fs::path fifo)
        : thread([this, fifo = std::move(fifo)] {
              for (int waited = 0; waited < 200 && !done; ++waited)
                  std::this_thread::sleep_for(std::chrono::milliseconds(50));
              if (done)
                  return;
              rescued = true;
              const int end = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
              if (end >= 0)
                  ::close(end);
          })
    {
    }
    ~FifoRescue()
    {
        done = true;
        thread.join();
    }
    std::atomic<bool> done{false};
    std::atomic<bool> rescued{false};

private:
    std::thread thread;
};

class BadSoundFile : public testing::TestWithParam<Bad> {};

TEST_P(BadSoundFile, StartUpShowsTheTableBoxesKeepsTheGoodSoundsAndPlays)
{
    const Bad bad = GetParam();
    for (std::size_t n = 0; n < soundNames.size(); ++n) {
        const std::string name = soundNames[n].name;
        SCOPED_TRACE(name + " " + label(bad));
        WorkingFolder folder("zubotta-bad-files");
        for (std::size_t other = 0; other < soundNames.size(); ++other)
            if (other != n)
                soundtest::writeFile(soundNames[other].name, validSound(other));
        makeBad(bad, name, n);
        ASSERT_FALSE(HasFatalFailure());

        RealSoundRig rig;
        std::optional<FifoRescue> rescue;
        if (bad == Bad::fifo)
            rescue.emplace(folder.path() / name);
        const auto before = std::chrono::steady_clock::now();
        rig.game.Form_Load();
        const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - before).count();
        if (rescue) {
            rescue->done = true;
            EXPECT_FALSE(rescue->rescued) << "start-up waited on the FIFO";
        }
        std::printf("start-up with %-12s as %-17s %8.1f ms\n", name.c_str(), label(bad), ms);

        ASSERT_NE(rig.game.module1.サウンド装置, 0) << "the dummy audio device did not open";
        const Expect expect = expected(bad);
        if (expect == Expect::oneBoxZero) {
            ASSERT_EQ(rig.dialogs.shown.size(), 1u);
            EXPECT_FALSE(rig.dialogs.shown[0].text.empty());
            EXPECT_EQ(rig.dialogs.shown[0].title, "Zubotta.dll");
            EXPECT_EQ(rig.dialogs.shown[0].icon, MessageIcon::warning);
        } else {
            EXPECT_TRUE(rig.dialogs.shown.empty()) << "box: " << rig.dialogs.shown.front().text;
        }
        for (std::size_t other = 0; other < soundNames.size(); ++other) {
            const SoundHandle handle = handleOf(rig.game.state, other);
            if (other != n || expect == Expect::loads)
                EXPECT_NE(handle, 0) << soundNames[other].name << " is good and should have loaded";
            else
                EXPECT_EQ(handle, 0) << "the bad file gave a sound";
        }

        playRound(rig.game);
        EXPECT_TRUE(rig.dialogs.shown.size() <= 1u) << "a box appeared while playing";
    }
}

INSTANTIATE_TEST_SUITE_P(EveryKind, BadSoundFile,
                         testing::Values(Bad::missing, Bad::empty, Bad::truncated, Bad::randomBytes,
                                         Bad::noise100MB, Bad::directory, Bad::fifo, Bad::symlinkToDevZero,
                                         Bad::danglingSymlink, Bad::noReadPermission, Bad::unreadable),
                         [](const testing::TestParamInfo<Bad>& info) { return std::string(label(info.param)); });

// Long, low-rate sounds, which SDL_mixer's own loader once sized in an int: at and just past each size that
// wrapped it round (a crash at start-up), and either side of the largest converted sound the library keeps.
// Each either loads and plays, or is refused silently; start-up time and peak memory are printed.
struct LongSound {
    std::uint32_t rate;
    std::uint16_t bits;
    std::uint32_t dataBytes;
    bool loads;
};

std::string describe(const LongSound& sound)
{
    return std::to_string(sound.bits) + "-bit " + std::to_string(sound.rate) + " Hz, " +
           std::to_string(sound.dataBytes) + " bytes";
}

// Mono frames that convert to exactly the largest sound the library keeps (stereo 16-bit at 44100 Hz).
std::uint32_t largestFrames(std::uint32_t rate)
{
    const std::uint64_t outFrames = SdlSoundLibrary::largestSound / 4;
    return std::uint32_t(((outFrames + 1) * rate - 1) / SdlSoundLibrary::sampleRate);
}

// A 100 Hz tone of the given length, written straight to the file.
void writeLongSound(const std::string& name, const LongSound& sound)
{
    std::vector<std::uint8_t> second;
    for (std::uint32_t i = 0; i < sound.rate; ++i) {
        const double value = std::sin(2 * std::numbers::pi * 100 * double(i) / sound.rate);
        if (sound.bits == 8)
            second.push_back(std::uint8_t(128 + std::lround(100 * value)));
        else
            soundtest::putLe(second, std::uint16_t(std::lround(20000 * value)), 2);
    }
    std::ofstream out(name, std::ios::binary);
    const soundtest::WavFormat format{1, 1, sound.rate, sound.bits};
    auto header = soundtest::wavImage(format, {});
    soundtest::setLe32(header, 4, 36 + sound.dataBytes + (sound.dataBytes & 1));
    soundtest::setLe32(header, 40, sound.dataBytes);
    out.write(reinterpret_cast<const char*>(header.data()), std::streamsize(header.size()));
    for (std::uint32_t left = sound.dataBytes; left > 0;) {
        const std::uint32_t now = std::min<std::uint32_t>(left, std::uint32_t(second.size()));
        out.write(reinterpret_cast<const char*>(second.data()), now);
        left -= now;
    }
    if (sound.dataBytes & 1)
        out.put(0);
    ASSERT_TRUE(out.good()) << "could not write " << name;
}

class LongLowRateSound : public testing::TestWithParam<LongSound> {};

TEST_P(LongLowRateSound, LoadsAndPlaysOrIsRefusedWithoutABox)
{
    const LongSound sound = GetParam();
    WorkingFolder folder("zubotta-long-sound");
    const std::size_t mole = soundNames.size() - 1;
    for (std::size_t n = 0; n < mole; ++n)
        soundtest::writeFile(soundNames[n].name, validSound(n));
    writeLongSound(soundNames[mole].name, sound);
    ASSERT_FALSE(HasFatalFailure());

    RealSoundRig rig;
    const long before = residentBytes();
    resetPeakResident();
    const auto start = std::chrono::steady_clock::now();
    rig.game.Form_Load();
    const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    const long peak = peakResidentBytes();
    const SoundHandle handle = rig.game.state.sndMole;
    std::printf("start-up with %-32s %-7s %8.1f ms, peak resident %6.1f MB (%+6.1f MB)\n", describe(sound).c_str(),
                handle != 0 ? "loads" : "refused", ms, double(peak) / 1048576, double(peak - before) / 1048576);

    EXPECT_TRUE(rig.dialogs.shown.empty()) << "box: " << rig.dialogs.shown.front().text;
    for (std::size_t n = 0; n < mole; ++n)
        EXPECT_NE(handleOf(rig.game.state, n), 0) << soundNames[n].name;
    if (sound.loads) {
        ASSERT_NE(handle, 0) << "the sound was refused";
        EXPECT_NE(rig.library.dsPlay(handle), 0) << "the sound does not play";
    } else {
        EXPECT_EQ(handle, 0) << "the sound passed the library's limit yet loaded";
    }
#if !defined(__SANITIZE_ADDRESS__)
    // At most the file, the converted sound and a generous margin; not under AddressSanitizer, whose
    // quarantine keeps freed memory resident.
    const long bound = long(sound.dataBytes) + long(SdlSoundLibrary::largestSound) + (128L << 20);
    EXPECT_LT(peak - before, bound) << "start-up took far more memory than the sound";
#endif
}

INSTANTIATE_TEST_SUITE_P(
    AtTheOldCrashSizesAndTheLimit, LongLowRateSound,
    testing::Values(LongSound{1000, 8, 5965234, false}, LongSound{1000, 8, 5966234, false},
                    LongSound{8000, 8, 44739244, false}, LongSound{8000, 8, 44747244, false},
                    LongSound{11025, 8, (1u << 26) + 2, false}, LongSound{11025, 8, (1u << 26) + 11026, false},
                    LongSound{1000, 16, 11930466, false}, LongSound{1000, 16, 11932466, false},
                    LongSound{1000, 8, largestFrames(1000), true}, LongSound{1000, 8, largestFrames(1000) + 1, false},
                    LongSound{8000, 8, largestFrames(8000), true}, LongSound{8000, 8, largestFrames(8000) + 1, false},
                    LongSound{11025, 8, largestFrames(11025), true},
                    LongSound{11025, 8, largestFrames(11025) + 1, false}),
    [](const testing::TestParamInfo<LongSound>& info) {
        return std::to_string(info.param.bits) + "bit" + std::to_string(info.param.rate) + "Hz" +
               std::to_string(info.param.dataBytes) + "bytes";
    });

// Every name bad at once, each in a different way: the boxes add up, one per empty or unreadable file.
TEST(BadSoundFolder, AllSevenBadAtOnceGiveOneBoxPerUnreadableFile)
{
    WorkingFolder folder("zubotta-bad-folder");
    const Bad kinds[] = {Bad::empty, Bad::fifo, Bad::unreadable, Bad::directory, Bad::randomBytes,
                         Bad::symlinkToDevZero, Bad::empty};
    for (std::size_t n = 0; n < soundNames.size(); ++n)
        makeBad(kinds[n], soundNames[n].name, n);
    RealSoundRig rig;
    FifoRescue rescue(folder.path() / soundNames[1].name);
    rig.game.Form_Load();
    rescue.done = true;
    EXPECT_FALSE(rescue.rescued) << "start-up waited on the FIFO";
    EXPECT_EQ(rig.dialogs.shown.size(), 3u);
    for (std::size_t n = 0; n < soundNames.size(); ++n)
        EXPECT_EQ(handleOf(rig.game.state, n), 0) << soundNames[n].name;
    playRound(rig.game);
}

// SDL pointed at an audio driver that cannot work: the device box alone, whatever lies in the folder,
// then a whole round in silence.
class NoSoundDevice : public testing::TestWithParam<const char*> {};

TEST_P(NoSoundDevice, OneBoxThenASilentRound)
{
    if (std::string(GetParam()) == "dsp" && fs::exists("/dev/dsp"))
        GTEST_SKIP() << "this machine has an OSS device, so that driver would work";
    const char* const previous = std::getenv("SDL_AUDIODRIVER");
    const std::string saved = previous != nullptr ? previous : "";
    setenv("SDL_AUDIODRIVER", GetParam(), 1);

    WorkingFolder folder("zubotta-no-device");
    for (std::size_t n = 0; n < soundNames.size(); ++n)
        soundtest::writeFile(soundNames[n].name, validSound(n));
    // An empty file would give a box of its own if start-up read it.
    soundtest::writeFile(soundNames[2].name, {});
    {
        RealSoundRig rig;
        rig.game.Form_Load();
        EXPECT_EQ(rig.game.module1.サウンド装置, 0);
        ASSERT_EQ(rig.dialogs.shown.size(), 1u);
        EXPECT_EQ(rig.dialogs.shown[0].text, "Direct Soundインターフェースが作成できません。");
        EXPECT_EQ(rig.dialogs.shown[0].title, "Zubotta.dll");
        EXPECT_EQ(rig.dialogs.shown[0].icon, MessageIcon::warning);
        for (std::size_t n = 0; n < soundNames.size(); ++n)
            EXPECT_EQ(handleOf(rig.game.state, n), 0) << soundNames[n].name;
        EXPECT_TRUE(rig.window.bgmChecked) << "the music switch starts on even without sound";

        playRound(rig.game);
        EXPECT_GT(rig.sound.plays, 0) << "the round made no sound calls at all";
        EXPECT_EQ(rig.dialogs.shown.size(), 1u);
        rig.game.Form_KeyDown(112, 0);  // F1 twice: the switch still works, silently
        rig.game.Form_KeyDown(112, 0);
        EXPECT_TRUE(rig.window.bgmChecked);
    }
    if (previous != nullptr)
        setenv("SDL_AUDIODRIVER", saved.c_str(), 1);
    else
        unsetenv("SDL_AUDIODRIVER");
}

INSTANTIATE_TEST_SUITE_P(FailingDrivers, NoSoundDevice, testing::Values("no-such-driver", "dsp"),
                         [](const testing::TestParamInfo<const char*>& info) {
                             return std::string(info.param[0] == 'd' ? "oss" : "unknown");
                         });

}  // namespace
