// SPDX-License-Identifier: GPL-3.0-or-later
// Module1: the device, turning file names in the working directory (or the installed folder) into sounds,
// and its error boxes.
#include "desktop/sdl_sound_library.h"
#include "sound/sound_module.h"
#include "sound_test_wav.h"

#include <gtest/gtest.h>

#include <iconv.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <clocale>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

using namespace soundtest;
namespace fs = std::filesystem;

namespace {

struct Box {
    std::string text;
    std::string title;
    MessageIcon icon;
};

class RecordingDialogs : public Dialogs {
public:
    void showMessage(const std::string& text, const std::string& title, MessageIcon icon) override
    {
        boxes.push_back({text, title, icon});
    }
    std::vector<Box> boxes;
};

class RecordingLibrary : public SoundLibrary {
public:
    struct Created {
        std::int32_t device;
        std::vector<std::uint8_t> image;
        std::int32_t count;
    };

    std::int32_t dsInitialize(std::int32_t window) override
    {
        initializedWith.push_back(window);
        return deviceToGive;
    }
    SoundHandle dsCreateDSB(std::int32_t device, std::span<const std::uint8_t> image, std::int32_t count) override
    {
        created.push_back({device, {image.begin(), image.end()}, count});
        return soundToGive;
    }
    std::int32_t dsPlay(SoundHandle) override { return 0; }
    std::int32_t dsPlayLooping(SoundHandle) override { return 0; }
    std::int32_t dsStop(SoundHandle) override { return 0; }
    std::int32_t dsFree(SoundHandle) override { return 0; }
    std::int32_t dsTerminate(std::int32_t device) override
    {
        terminated.push_back(device);
        return 0;
    }

    std::int32_t deviceToGive = 7;
    SoundHandle soundToGive = 42;
    std::vector<std::int32_t> initializedWith;
    std::vector<Created> created;
    std::vector<std::int32_t> terminated;
};

const char* const soundNames[] = {"その他.wav", "禁止.wav", "打音.wav", "BGM.wav", "空振.wav", "TIMEOUT.wav", "モグラ.wav"};

// Runs each test inside a fresh temporary directory, as the game runs in the folder of its sounds.
class SoundModuleTest : public testing::Test {
protected:
    void SetUp() override
    {
        previous = fs::current_path();
        fs::current_path(dir.path());
    }
    void TearDown() override { fs::current_path(previous); }

    // A small file per name, different for each, so that the bytes passed on can be told apart.
    std::vector<std::uint8_t> writeSound(const std::string& name, int level = 1000)
    {
        const auto image = pcm16Wav(constant(std::int16_t(level), 0.01));
        writeFile(name, image);
        return image;
    }

    void expectOneWarning(const std::string& text)
    {
        ASSERT_EQ(dialogs.boxes.size(), 1u);
        EXPECT_EQ(dialogs.boxes[0].text, text);
        EXPECT_EQ(dialogs.boxes[0].title, "Zubotta.dll");
        EXPECT_EQ(dialogs.boxes[0].icon, MessageIcon::warning);
    }

    TempDir dir{"sound-module"};
    fs::path previous;
    RecordingLibrary library;
    RecordingDialogs dialogs;
    Module1 module{library, dialogs};
};

TEST_F(SoundModuleTest, WithoutADeviceOneBoxAndNoFileIsOpened)
{
    library.deviceToGive = 0;
    writeSound("打音.wav");
    writeFile("その他.wav", {});  // would give a box if it were read

    module.サウンド_初期化(0x1234);
    EXPECT_EQ(library.initializedWith, std::vector<std::int32_t>{0x1234});
    EXPECT_EQ(module.サウンド装置, 0);
    for (const char* name : soundNames)
        EXPECT_EQ(module.サウンド_読込(name, 3), 0) << name;
    module.サウンド_終了();

    expectOneWarning("Direct Soundインターフェースが作成できません。");
    EXPECT_TRUE(library.created.empty());
    EXPECT_TRUE(library.terminated.empty());
}

TEST_F(SoundModuleTest, LoadPassesTheWholeFileAndReturnsWhatTheLibraryGives)
{
    module.サウンド_初期化(0);
    EXPECT_EQ(module.サウンド装置, 7);
    const auto hit = writeSound("打音.wav", 1111);
    const auto bgm = writeSound("BGM.wav", 2222);

    EXPECT_EQ(module.サウンド_読込("打音.wav", 3), 42);
    library.soundToGive = 0;  // the library refuses the data: no box, its 0 comes back
    EXPECT_EQ(module.サウンド_読込("BGM.wav", 1), 0);

    ASSERT_EQ(library.created.size(), 2u);
    EXPECT_EQ(library.created[0].device, 7);
    EXPECT_EQ(library.created[0].image, hit);
    EXPECT_EQ(library.created[0].count, 3);
    EXPECT_EQ(library.created[1].image, bgm);
    EXPECT_EQ(library.created[1].count, 1);
    EXPECT_TRUE(dialogs.boxes.empty());

    module.サウンド_終了();
    EXPECT_EQ(library.terminated, std::vector<std::int32_t>{7});
    EXPECT_EQ(module.サウンド装置, 7) << "the device handle is never reset";
}

TEST_F(SoundModuleTest, NamesThatAreNotOrdinaryFilesGiveZeroSilently)
{
    module.サウンド_初期化(0);
    fs::create_directory("dir.wav");
    ASSERT_EQ(mkfifo("fifo.wav", 0644), 0) << std::strerror(errno);  // opening it would block the test
    fs::create_symlink("/dev/null", "device.wav");
    fs::create_symlink("nowhere.wav", "dangling.wav");
    fs::create_symlink("dir.wav", "to-dir.wav");
    const auto real = writeSound("real.wav");
    fs::create_symlink("real.wav", "link.wav");

    for (const char* name : {"missing.wav", "dir.wav", "fifo.wav", "device.wav", "dangling.wav", "to-dir.wav", "",
                             "打音.WAV", "打音"})
        EXPECT_EQ(module.サウンド_読込(name, 1), 0) << name;
    EXPECT_TRUE(dialogs.boxes.empty());
    EXPECT_TRUE(library.created.empty());

    EXPECT_EQ(module.サウンド_読込("link.wav", 1), 42) << "a link to an ordinary file is that file";
    ASSERT_EQ(library.created.size(), 1u);
    EXPECT_EQ(library.created[0].image, real);
}

TEST_F(SoundModuleTest, FilesElsewhereThanTheWorkingDirectoryAreNotFound)
{
    module.サウンド_初期化(0);
    fs::create_directory("sounds");
    writeSound("sounds/打音.wav");
    EXPECT_EQ(module.サウンド_読込("打音.wav", 3), 0);
    fs::current_path("sounds");
    EXPECT_EQ(module.サウンド_読込("打音.wav", 3), 42);
    EXPECT_TRUE(dialogs.boxes.empty());
}

// An installed game: the working directory's file wins, the installed folder fills in what is missing there,
// and what neither holds (or holds only as a non-file) stays silent without a box.
TEST_F(SoundModuleTest, TheWorkingDirectoryComesFirstThenTheInstalledFolder)
{
    fs::create_directory("installed");
    Module1 installed{library, dialogs, dir.path() / "installed"};
    installed.サウンド_初期化(0);
    const auto own = writeSound("打音.wav", 1111);
    writeSound("installed/打音.wav", 2222);
    const auto shipped = writeSound("installed/BGM.wav", 3333);
    fs::create_directory("installed/空振.wav");
    writeFile("installed/禁止.wav", {});

    EXPECT_EQ(installed.サウンド_読込("打音.wav", 3), 42);
    EXPECT_EQ(installed.サウンド_読込("BGM.wav", 1), 42);
    EXPECT_EQ(installed.サウンド_読込("空振.wav", 1), 0);
    EXPECT_EQ(installed.サウンド_読込("モグラ.wav", 1), 0);
    EXPECT_EQ(installed.サウンド_読込("", 1), 0) << "an empty name is not the folder itself";
    ASSERT_EQ(library.created.size(), 2u);
    EXPECT_EQ(library.created[0].image, own);
    EXPECT_EQ(library.created[1].image, shipped);
    EXPECT_TRUE(dialogs.boxes.empty());

    EXPECT_EQ(installed.サウンド_読込("禁止.wav", 3), 0);
    expectOneWarning("ファイルが空です。");
}

TEST_F(SoundModuleTest, AnEmptyFileGivesOneBoxAndTheOtherSoundsStillLoad)
{
    module.サウンド_初期化(0);
    for (const char* name : soundNames)
        writeSound(name);
    writeFile("空振.wav", {});

    int loaded = 0;
    for (const char* name : soundNames)
        loaded += module.サウンド_読込(name, 1) == 42;
    EXPECT_EQ(loaded, 6);
    EXPECT_EQ(library.created.size(), 6u);
    expectOneWarning("ファイルが空です。");
}

TEST_F(SoundModuleTest, AFileThatCannotBeReadGivesTheSystemsDescription)
{
    module.サウンド_初期化(0);
    // An ordinary file by every test, yet reading its first byte fails: it is this process's memory at
    // address 0. Permissions cannot make the case, as tests may run as root.
    if (!fs::is_regular_file("/proc/self/mem"))
        GTEST_SKIP() << "no /proc/self/mem here";
    fs::create_symlink("/proc/self/mem", "unreadable.wav");
    EXPECT_EQ(module.サウンド_読込("unreadable.wav", 1), 0);
    expectOneWarning(std::strerror(EIO));
    EXPECT_TRUE(library.created.empty());

    if (geteuid() != 0) {
        writeSound("locked.wav");
        fs::permissions("locked.wav", fs::perms::none);
        EXPECT_EQ(module.サウンド_読込("locked.wav", 1), 0);
        ASSERT_EQ(dialogs.boxes.size(), 2u);
        EXPECT_EQ(dialogs.boxes[1].text, std::strerror(EACCES));
    }
}

TEST_F(SoundModuleTest, AnOversizedFileIsRefusedWithoutReadingIt)
{
    module.サウンド_初期化(0);
    {
        std::ofstream("huge.wav");
    }
    fs::resize_file("huge.wav", 1ull << 34);  // 16 GB, sparse: nothing is written
    EXPECT_EQ(module.サウンド_読込("huge.wav", 1), 0);
    expectOneWarning(std::strerror(EFBIG));
    EXPECT_TRUE(library.created.empty());
}

// Under a locale whose encoding is not UTF-8 (here EUC-JP, built for the test with localedef), the
// platform's text reaches the box decoded: the same words as iconv makes of it, as UTF-8.
TEST_F(SoundModuleTest, SystemTextsAreDecodedFromTheLocalesEncoding)
{
    const TempDir locales{"locales"};
    const std::string build = "localedef -i ja_JP -f EUC-JP " + (locales.path() / "ja_JP.eucJP").string();
    ASSERT_EQ(std::system(build.c_str()), 0) << "needs the locales package";
    setenv("LOCPATH", locales.path().c_str(), 1);
    ASSERT_NE(std::setlocale(LC_ALL, "ja_JP.eucJP"), nullptr);
    const std::string raw = std::strerror(EFBIG);

    module.サウンド_初期化(0);
    {
        std::ofstream("huge.wav");
    }
    fs::resize_file("huge.wav", 1ull << 34);
    EXPECT_EQ(module.サウンド_読込("huge.wav", 1), 0);
    std::setlocale(LC_ALL, "C");
    unsetenv("LOCPATH");

    std::string expected(raw.size() * 2, '\0');
    iconv_t toUtf8 = iconv_open("UTF-8", "EUC-JP");
    ASSERT_NE(toUtf8, iconv_t(-1));
    char* in = const_cast<char*>(raw.data());
    char* out = expected.data();
    std::size_t inLeft = raw.size();
    std::size_t outLeft = expected.size();
    ASSERT_NE(iconv(toUtf8, &in, &inLeft, &out, &outLeft), std::size_t(-1)) << "not EUC-JP: " << raw;
    iconv_close(toUtf8);
    expected.resize(expected.size() - outLeft);
    ASSERT_NE(expected, raw) << "the text is not translated, so its encoding cannot show";
    expectOneWarning(expected);
}

TEST_F(SoundModuleTest, LoadsIntoTheSdlLibrary)
{
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    SdlSoundLibrary sdl;
    Module1 real{sdl, dialogs};
    real.サウンド_初期化(0);
    ASSERT_NE(real.サウンド装置, 0);
    writeSound("モグラ.wav");
    std::vector<std::uint8_t> broken(300, 'x');
    writeFile("禁止.wav", broken);

    const SoundHandle mole = real.サウンド_読込("モグラ.wav", 1);
    EXPECT_NE(mole, 0);
    EXPECT_EQ(real.サウンド_読込("禁止.wav", 3), 0);
    EXPECT_TRUE(dialogs.boxes.empty()) << "unusable data is not a reading error";
    EXPECT_NE(sdl.dsPlay(mole), 0);
    sdl.dsFree(mole);
    real.サウンド_終了();
    EXPECT_EQ(real.サウンド_読込("モグラ.wav", 1), 0) << "after the end the device handle is stale";
}

}  // namespace
